#pragma once

#include <QList>
#include <QObject>

class Controller;

// The process's limit on uploads under way at once. A controller takes a
// slot before its FTP session and gives it back when its attempt comes to
// rest (done, given up, waiting for a retry, cancelled); controllers over the
// limit wait in line and start in the order they asked, as slots free.
//
// The limit is the preference "Upload/MaxSimultaneousUploads" (0: none),
// read at each decision, unless a command line has set one for the process.
class UploadSlots : public QObject
{
    Q_OBJECT

public:
    static UploadSlots *instance();

    // 0: no limit.
    int limit() const;
    // A limit for this process instead of the preference's; -1 gives the
    // preference back.
    void setLimitOverride(int limit);

    // True when the controller holds a slot now (it may already have held
    // one). Otherwise it waits in line, and its startWithUploadSlot() is
    // called from the event loop once a slot is its own.
    bool acquire(const Controller *controller);
    // Gives the slot back or leaves the line; nothing when it had neither.
    void release(const Controller *controller);
    // release() on the instance, if there is one still (a controller that goes).
    static void forget(const Controller *controller);
    bool holds(const Controller *controller) const { return m_holders.contains(controller); }
    bool isWaiting(const Controller *controller) const { return m_waiting.contains(controller); }
    int inUse() const { return int(m_holders.size()); }

private:
    explicit UploadSlots(QObject *parent);
    bool isFree() const;
    void grantWaiting();

    QList<const Controller *> m_holders;
    QList<const Controller *> m_waiting; // in the order they asked
    int m_limitOverride = -1;
};

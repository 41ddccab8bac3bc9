#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT (Ctrl-C) and SIGTERM into a Qt signal delivered by the event
// loop, so that a command can end its work cleanly. The first signal puts
// the system's default handling back: should the clean end hang, a second
// one ends the process at once. One watch at a time.
class SignalWatch : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatch(QObject *parent = nullptr);
    // Puts the default handling back.
    ~SignalWatch() override;

    // Whether the handlers are in place.
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private slots:
    void onActivated();

private:
    QSocketNotifier *m_notifier = nullptr;
};

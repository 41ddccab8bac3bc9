#pragma once

#include <QDialog>
#include <QUrl>

class VersionChecker;

// Offers the newest release the feed names: its version beside ours, its
// notes, and "Go To Website", which opens its download page in the desktop's
// browser. The feed comes over plain HTTP, so only web addresses (http,
// https) are opened.
class SoftwareUpdateDialog : public QDialog
{
    Q_OBJECT

public:
    SoftwareUpdateDialog(const VersionChecker *checker, bool stableOnly, QWidget *parent = nullptr);

public slots:
    void accept() override;

private:
    // Whether the desktop may be asked to open the address.
    static bool isWebAddress(const QUrl &address);

    QUrl m_downloadPage;
};

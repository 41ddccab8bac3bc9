#include "software_update_dialog.h"

#include "app_constants.h"
#include "version_checker.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

SoftwareUpdateDialog::SoftwareUpdateDialog(const VersionChecker *checker, bool stableOnly,
                                           QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(tr("Software Update"));
    const std::optional<VersionChecker::Release> release = checker->latestRelease(stableOnly);
    const QString versionText = release ? release->version.toString() : QString();
    m_downloadPage = release ? checker->downloadPage(release->version) : QUrl();

    auto *layout = new QVBoxLayout(this);
    auto *ready = new QLabel(tr("Version %1 is ready for download").arg(versionText), this);
    QFont larger = ready->font();
    larger.setBold(true);
    ready->setFont(larger);
    layout->addWidget(ready);
    layout->addWidget(
        new QLabel(tr("You are currently running %1").arg(AppConstants::versionText()), this));

    auto *notes = new QPlainTextEdit(release ? release->info.notes : QString(), this);
    notes->setReadOnly(true);
    auto *notesLabel = new QLabel(tr("Release Notes"), this);
    notesLabel->setBuddy(notes);
    notes->setAccessibleName(notesLabel->text());
    layout->addWidget(notesLabel);
    layout->addWidget(notes);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *website = buttons->addButton(tr("Go To Website"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Not Now"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SoftwareUpdateDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SoftwareUpdateDialog::reject);
    // The checker takes web addresses only; a release without one offers
    // nothing to open.
    website->setEnabled(isWebAddress(m_downloadPage));
    layout->addWidget(buttons);
    resize(460, 340);
}

bool SoftwareUpdateDialog::isWebAddress(const QUrl &address)
{
    const QString scheme = address.scheme().toLower();
    return address.isValid() && !address.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void SoftwareUpdateDialog::accept()
{
    if (isWebAddress(m_downloadPage))
        QDesktopServices::openUrl(m_downloadPage);
    QDialog::accept();
}

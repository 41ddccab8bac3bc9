#include "lum_launch_dialog.h"

#include "app_constants.h"

#include <QPixmap>

LumLaunchDialog::LumLaunchDialog(RecentFiles *recentFiles, QWidget *parent)
    : LaunchDialog(recentFiles, parent)
{
    setWindowTitle(AppConstants::displayName());
    setHeaderPicture(QPixmap(QStringLiteral(":/launch_header.png")));
}

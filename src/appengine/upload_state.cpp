#include "upload_state.h"

#include "lum_assert.h"

#include <QCoreApplication>
#include <QStringList>

QString uploadStateName(uint state)
{
    LUM_ASSERT(state < UploadState_MAX);
    // Translated once, on first use.
    static const QStringList names = {QString(),
                                      QCoreApplication::translate("UploadState", "Pending"),
                                      QCoreApplication::translate("UploadState", "Transcoding"),
                                      QCoreApplication::translate("UploadState", "Uploading"),
                                      QCoreApplication::translate("UploadState", "Error"),
                                      QCoreApplication::translate("UploadState", "Error"),
                                      QCoreApplication::translate("UploadState", "Retrying"),
                                      QCoreApplication::translate("UploadState", "Cancelled"),
                                      QCoreApplication::translate("UploadState", "Verifying"),
                                      QCoreApplication::translate("UploadState", "Complete")};
    return names.at(int(state));
}

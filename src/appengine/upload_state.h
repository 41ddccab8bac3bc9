#pragma once

#include <QString>

// Where an upload stands, for a controller as a whole and for each file of it.
enum UploadState : quint32
{
    UploadState_None = 0,        // nothing happening; also a file whose upload was abandoned
    UploadState_Pending = 1,     // file queued for this attempt
    UploadState_Transcoding = 2, // waiting for media conversion
    UploadState_Uploading = 3,
    UploadState_AttemptError = 4, // failed in this attempt, may be retried
    UploadState_Error = 5,        // given up, or the file cannot be sent at all
    UploadState_Retrying = 6,     // waiting for the retry timer
    UploadState_Cancelled = 7,
    UploadState_Verifying = 8, // asking the controller to launch the upload
    UploadState_Complete = 9,
    UploadState_MAX = 10
};

// The name shown for a state ("" for UploadState_None); valid for 0 to 9 only.
QString uploadStateName(uint state);

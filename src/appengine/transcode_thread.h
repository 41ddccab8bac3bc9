#pragma once

#include "progress_tracker.h"
#include "types.h"

#include <QString>
#include <QThread>

enum TranscodeResult
{
    TranscodeResult_Succeeded = 0,
    TranscodeResult_Failed = 1,
    TranscodeResult_Cancelled = 2,
    TranscodeResult_MAX = 3
};

// One background conversion of a source file into a media chunk file. The
// owner starts it, may cancel it from its own thread, and reads the result
// once the thread has finished.
class TranscodeThread : public QThread
{
    Q_OBJECT

public:
    TranscodeThread(const QString &sourcePath, const QString &outputPath, MediaType mediaType,
                    QObject *parent = nullptr);

    QString sourcePath() const { return m_sourcePath; }
    QString outputPath() const { return m_outputPath; }
    MediaType mediaType() const { return m_mediaType; }
    TranscodeResult result() const { return m_result; }

    // Asks the running conversion to stop at its next check.
    void cancel() { m_progress.cancel(); }

protected:
    void run() override;

private:
    bool convert();

    QString m_sourcePath;
    QString m_outputPath;
    MediaType m_mediaType;
    TranscodeResult m_result = TranscodeResult_Failed;
    ProgressTracker m_progress;
};

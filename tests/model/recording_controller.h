#pragma once

#include "controller.h"

#include <QStringList>

// A controller whose link only records what it is asked to do, as
// "discover 5", "undiscover 5" and "cancel 5" (its identifier).
class RecordingController : public Controller
{
public:
    explicit RecordingController(QStringList *calls)
        : Controller(std::make_shared<ControllerTemplate>()), m_calls(calls)
    {}
    void discover() override { record("discover"); }
    void undiscover() override { record("undiscover"); }
    void cancelUpload() override { record("cancel"); }

private:
    void record(const char *call)
    {
        *m_calls << QStringLiteral("%1 %2").arg(QLatin1String(call)).arg(getId());
    }

    QStringList *m_calls;
};

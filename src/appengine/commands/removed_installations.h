#pragma once

#include "change_events.h"
#include "controller.h"
#include "installation.h"

#include <QDateTime>

#include <map>
#include <memory>
#include <vector>

class LumDocument;

// Installations an undo command has taken out of the document, with their
// controllers, kept until the command puts them back under the same
// identifiers. Each keeps its place in its group's list and whether it was
// shown expanded; scheduled controllers leave the schedule with it and
// return to their times, so the schedule never names a controller that is
// not in the document.
class RemovedInstallations
{
public:
    // Takes the installation and its controllers out of the document; the
    // command owns them from then on. True when a controller was scheduled.
    bool take(LumDocument &document, uint installationId);
    // Puts a kept installation and its controllers back, in its old place.
    // True when a controller was scheduled again.
    bool restore(LumDocument &document, uint installationId);
    // Takes every installation of the group out, last first; restoreAll
    // puts them back in list order.
    bool takeAll(LumDocument &document, const QList<uint> &installationIds);
    bool restoreAll(LumDocument &document, const QList<uint> &installationIds);

private:
    std::map<uint, std::unique_ptr<Installation>> m_installations;
    // The controllers of each kept installation, by installation identifier.
    std::map<uint, std::vector<std::unique_ptr<Controller>>> m_controllers;
    std::map<uint, qsizetype> m_positions;
    IdSet m_expanded;
    // Saved schedule entries, by controller identifier.
    std::map<uint, QDateTime> m_scheduled;
};

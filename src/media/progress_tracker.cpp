#include "progress_tracker.h"

#include "lum_assert.h"

#include <algorithm>

void ProgressTracker::beginStage(qint64 range)
{
    m_stages.push_back({0, std::max<qint64>(range, 1)});
    notify();
}

void ProgressTracker::setValue(qint64 value)
{
    LUM_ASSERT(!m_stages.empty());
    m_stages.back().value = std::clamp<qint64>(value, 0, m_stages.back().range);
    notify();
}

void ProgressTracker::endStage()
{
    LUM_ASSERT(!m_stages.empty());
    m_stages.pop_back();
    if (m_stages.empty()) {
        notify(1.0); // the outermost stage is done
        return;
    }
    Stage &parent = m_stages.back();
    parent.value = std::min(parent.value + 1, parent.range);
    notify();
}

double ProgressTracker::fraction() const
{
    // Each stage contributes its value plus the progress of the stage nested in it.
    double inner = 0.0;
    for (auto it = m_stages.rbegin(); it != m_stages.rend(); ++it)
        inner = std::min((double(it->value) + inner) / double(it->range), 1.0);
    return inner;
}

void ProgressTracker::notify()
{
    if (m_observer)
        notify(fraction());
}

void ProgressTracker::notify(double fraction)
{
    if (!m_observer)
        return;
    const int permille = int(fraction * 1000.0);
    if (permille == m_lastPermille)
        return;
    m_lastPermille = permille;
    m_observer(permille / 1000.0);
}

void ProgressTracker::beginStage(ProgressTracker *progress, qint64 range)
{
    if (progress)
        progress->beginStage(range);
}

void ProgressTracker::setValue(ProgressTracker *progress, qint64 value)
{
    if (progress)
        progress->setValue(value);
}

void ProgressTracker::endStage(ProgressTracker *progress)
{
    if (progress)
        progress->endStage();
}

bool ProgressTracker::isCancelled(const ProgressTracker *progress)
{
    return progress && progress->isCancelled();
}

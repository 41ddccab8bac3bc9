#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <vector>

// Progress and cancel context handed to the conversion routines. A routine
// declares nested stages (a parent stage counts its finished sub-stages) and
// sets the current value of the innermost one; values are KiB of input. An
// observer, when attached, hears the overall fraction (0 to 1) whenever it
// moves by at least a thousandth. The cancel flag may be set from any thread.
class ProgressTracker
{
public:
    using Observer = std::function<void(double fraction)>;

    ProgressTracker() = default;
    ProgressTracker(const ProgressTracker &) = delete;
    ProgressTracker &operator=(const ProgressTracker &) = delete;

    void setObserver(Observer observer) { m_observer = std::move(observer); }

    void beginStage(qint64 range);
    void setValue(qint64 value);
    // Closes the innermost stage and counts it as one step of its parent.
    void endStage();
    // Overall fraction done, from the outermost stage inwards.
    double fraction() const;

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // The routines take an optional tracker; these accept a null one.
    static void beginStage(ProgressTracker *progress, qint64 range);
    static void setValue(ProgressTracker *progress, qint64 value);
    static void endStage(ProgressTracker *progress);
    static bool isCancelled(const ProgressTracker *progress);

private:
    struct Stage
    {
        qint64 value;
        qint64 range;
    };

    void notify();
    void notify(double fraction);

    Observer m_observer;
    std::vector<Stage> m_stages;
    int m_lastPermille = -1;
    std::atomic<bool> m_cancelled{false};
};

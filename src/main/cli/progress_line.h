#pragma once

#include <QString>

// A one-line percentage on stderr, redrawn in place, for long commands run on
// a terminal. When stderr is not a terminal (a pipe, a log file) it writes
// nothing, so scripts and logs see only the command's real output.
class ProgressLine
{
public:
    explicit ProgressLine(const QString &label);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    bool isShown() const { return m_enabled; }
    // fraction 0 to 1; redraws only when the whole percentage changes.
    void update(double fraction);
    // Erases the line.
    void clear();
    // Draws the line again after clear(), as last updated (another line was
    // printed on the terminal meanwhile).
    void redraw();

private:
    QString m_label;
    bool m_enabled;
    int m_percent = -1;
    double m_fraction = -1.0;
};

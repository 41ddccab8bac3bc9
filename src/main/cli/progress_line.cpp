#include "progress_line.h"

#include <cstdio>

#include <unistd.h>

ProgressLine::ProgressLine(const QString &label)
    : m_label(label), m_enabled(isatty(fileno(stderr)) == 1)
{}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::update(double fraction)
{
    m_fraction = fraction;
    const int percent = int(qBound(0.0, fraction, 1.0) * 100.0);
    if (!m_enabled || percent == m_percent)
        return;
    m_percent = percent;
    std::fprintf(stderr, "\r%s %3d%%", qUtf8Printable(m_label), percent);
    std::fflush(stderr);
}

void ProgressLine::clear()
{
    if (!m_enabled || m_percent < 0)
        return;
    m_percent = -1;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void ProgressLine::redraw()
{
    if (m_fraction >= 0.0 && m_percent < 0)
        update(m_fraction);
}

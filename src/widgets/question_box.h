#pragma once

#include <QMessageBox>
#include <QStringList>

// A message box whose buttons carry given texts, run modally over a window
// that may close while the box is open (the box then goes with it and
// counts as escaped).
class QuestionBox
{
public:
    struct Buttons
    {
        QStringList texts; // in the order shown
        int defaultButton = 0;
        int escapeButton = -1; // -1: the box cannot be escaped
    };

    // The index of the button clicked; the escape button's (or -1 when there
    // is none) when the box was closed some other way.
    static int ask(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                   const QString &text, const Buttons &buttons);
    // A box with standard buttons; the one clicked, or the escape button.
    static QMessageBox::StandardButton ask(QWidget *parent, QMessageBox::Icon icon,
                                           const QString &title, const QString &text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton escapeButton);
};

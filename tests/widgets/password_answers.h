#pragma once

// Answers for the password dialogs and question boxes, written as
// "Title|answer": the answer "type:TEXT" types TEXT into the dialog's line
// edit and clicks OK, "<Esc>" and "<Return>" press that key, anything else
// clicks the button of that text.

#include "modal_answerer.h"

#include <QLineEdit>
#include <QStringList>
#include <QTest>

namespace PasswordAnswers {

// Gives the answer to the window.
inline void respond(QWidget *window, const QString &answer)
{
    if (answer.startsWith(QLatin1String("type:"))) {
        window->findChild<QLineEdit *>()->setText(answer.mid(5));
        ModalAnswerer::clickButton(window, QStringLiteral("OK"));
    } else if (answer == QLatin1String("<Esc>")) {
        QTest::keyClick(window, Qt::Key_Escape);
    } else if (answer == QLatin1String("<Return>")) {
        QTest::keyClick(window, Qt::Key_Return);
    } else if (!ModalAnswerer::clickButton(window, answer)) {
        qWarning("no button \"%s\" in \"%s\"", qPrintable(answer),
                 qPrintable(window->windowTitle()));
    }
}

inline void queue(ModalAnswerer &answerer, const QStringList &steps)
{
    for (const QString &step : steps) {
        const QString answer = step.section(QLatin1Char('|'), 1);
        answerer.act(step.section(QLatin1Char('|'), 0, 0),
                     [answer](QWidget *window) { respond(window, answer); });
    }
}

} // namespace PasswordAnswers

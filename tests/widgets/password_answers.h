#pragma once

// Answers for the password dialogs and question boxes, written as
// "Title|answer": "type:TEXT" types TEXT into the line edit and clicks OK,
// "<Esc>" and "<Return>" press that key, anything else clicks that button.

#include "modal_answerer.h"

#include <QLineEdit>
#include <QStringList>
#include <QTest>

namespace PasswordAnswers {

inline void respond(QWidget *window, const QString &answer)
{
    if (answer.startsWith(QLatin1String("type:"))) {
        window->findChild<QLineEdit *>()->setText(answer.mid(5));
        ModalAnswerer::clickButton(window, QStringLiteral("OK"));
    } else if (answer.startsWith(QLatin1Char('<'))) {
        QTest::keyClick(window, answer == QLatin1String("<Esc>") ? Qt::Key_Escape : Qt::Key_Return);
    } else {
        ModalAnswerer::clickButton(window, answer);
    }
}

// Queues the answers; `shown` collects what each window's line edit held
// when it opened, with "*" when selected.
inline void queue(ModalAnswerer &answerer, const QStringList &steps, QStringList *shown = nullptr)
{
    for (const QString &step : steps) {
        const QString answer = step.section(QLatin1Char('|'), 1);
        answerer.act(step.section(QLatin1Char('|'), 0, 0), [answer, shown](QWidget *window) {
            const auto *edit = window->findChild<QLineEdit *>();
            if (shown && edit)
                *shown << edit->text() +
                              (edit->hasSelectedText() ? QStringLiteral("*") : QString());
            respond(window, answer);
        });
    }
}

} // namespace PasswordAnswers

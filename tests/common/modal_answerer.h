#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

class QWidget;

// Answers the modal dialogs and message boxes that a flow opens, one after
// the other, from a timer (tests never sleep). Each expected window is named
// by its title; the answer clicks the button with the given text (mnemonic
// ampersands ignored) or hands the window to a function that fills it in and
// closes it. A modal window that no answer expects is rejected, so a test
// fails on its checks instead of hanging, and is listed in unexpected().
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit ModalAnswerer(QObject *parent = nullptr);

    ModalAnswerer &answer(const QString &title, const QString &button);
    ModalAnswerer &act(const QString &title, std::function<void(QWidget *)> action);

    // Every queued answer was given.
    bool done() const { return m_answers.empty(); }
    QStringList unexpected() const { return m_unexpected; }

    // Clicks the button whose text (without '&') is `text` inside `window`;
    // false when there is none. Queued, so that a window the click opens
    // runs its own loop outside the caller.
    static bool clickButton(QWidget *window, const QString &text);

protected:
    // A window answered and then shown again (a dialog run in a loop) is a
    // new window to answer.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Answer
    {
        QString title;
        std::function<void(QWidget *)> action;
    };

    void onTick();

    QTimer m_timer;
    std::deque<Answer> m_answers;
    QPointer<QWidget> m_handled;
    QStringList m_unexpected;
};

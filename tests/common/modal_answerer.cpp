#include "modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

ModalAnswerer::ModalAnswerer(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::onTick);
    m_timer.start();
}

ModalAnswerer &ModalAnswerer::answer(const QString &title, const QString &button)
{
    return act(title, [title, button](QWidget *window) {
        if (!clickButton(window, button)) {
            qWarning("ModalAnswerer: no button \"%s\" in \"%s\"", qPrintable(button),
                     qPrintable(title));
            if (auto *dialog = qobject_cast<QDialog *>(window))
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        }
    });
}

ModalAnswerer &ModalAnswerer::act(const QString &title, std::function<void(QWidget *)> action)
{
    m_answers.push_back({title, std::move(action)});
    return *this;
}

bool ModalAnswerer::clickButton(QWidget *window, const QString &text)
{
    const auto buttons = window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->text().remove(QLatin1Char('&')) == text && button->isVisible()) {
            QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}

bool ModalAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_handled && event->type() == QEvent::Hide) {
        m_handled->removeEventFilter(this);
        m_handled = nullptr;
    }
    return QObject::eventFilter(watched, event);
}

void ModalAnswerer::onTick()
{
    QWidget *window = QApplication::activeModalWidget();
    if (!window || window == m_handled || !window->isVisible())
        return;
    if (m_handled)
        m_handled->removeEventFilter(this);
    m_handled = window;
    window->installEventFilter(this);
    const QString title = window->windowTitle();
    if (!m_answers.empty() && m_answers.front().title == title) {
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        answer.action(window);
        return;
    }
    m_unexpected << title;
    qWarning("ModalAnswerer: unexpected modal window \"%s\"", qPrintable(title));
    if (auto *dialog = qobject_cast<QDialog *>(window))
        QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
}

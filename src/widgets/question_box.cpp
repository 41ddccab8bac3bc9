#include "question_box.h"

#include <QAbstractButton>
#include <QPointer>
#include <QPushButton>

int QuestionBox::ask(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                     const QString &text, const Buttons &buttons)
{
    QPointer<QMessageBox> box = new QMessageBox(icon, title, text, QMessageBox::NoButton, parent);
    QList<QPushButton *> pushButtons;
    for (int i = 0; i < buttons.texts.size(); ++i) {
        const auto role =
            i == buttons.escapeButton ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        pushButtons << box->addButton(buttons.texts.at(i), role);
    }
    if (buttons.defaultButton >= 0 && buttons.defaultButton < pushButtons.size())
        box->setDefaultButton(pushButtons.at(buttons.defaultButton));
    if (buttons.escapeButton >= 0 && buttons.escapeButton < pushButtons.size())
        box->setEscapeButton(pushButtons.at(buttons.escapeButton));
    box->exec();
    if (!box)
        return buttons.escapeButton;
    const int clicked = int(pushButtons.indexOf(static_cast<QPushButton *>(box->clickedButton())));
    delete box;
    return clicked >= 0 ? clicked : buttons.escapeButton;
}

QMessageBox::StandardButton QuestionBox::ask(QWidget *parent, QMessageBox::Icon icon,
                                             const QString &title, const QString &text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton escapeButton)
{
    QPointer<QMessageBox> box = new QMessageBox(icon, title, text, buttons, parent);
    box->setEscapeButton(escapeButton);
    box->exec();
    if (!box)
        return escapeButton;
    const QMessageBox::StandardButton clicked = box->standardButton(box->clickedButton());
    delete box;
    return clicked == QMessageBox::NoButton ? escapeButton : clicked;
}

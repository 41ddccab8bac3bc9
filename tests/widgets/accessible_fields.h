#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStringList>

// The fields of a window that a screen reader cannot name: every edit, spin
// box, combo box, button and view needs a name of its own or a buddy label.
// The parts that such widgets are made of (a spin box's line edit, a
// table's corner button) are theirs.
inline QStringList unnamedFields(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const bool field =
            qobject_cast<QLineEdit *>(widget) || qobject_cast<QAbstractSpinBox *>(widget) ||
            qobject_cast<QComboBox *>(widget) || qobject_cast<QAbstractButton *>(widget) ||
            (qobject_cast<QAbstractItemView *>(widget) && !qobject_cast<QHeaderView *>(widget));
        QWidget *owner = widget->parentWidget();
        const bool part = qobject_cast<QAbstractSpinBox *>(owner) ||
                          qobject_cast<QComboBox *>(owner) ||
                          qobject_cast<QAbstractItemView *>(owner);
        if (!field || part || widget->isHidden())
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + u' ' +
                           QString::fromLatin1(widget->parentWidget()->metaObject()->className());
    }
    return unnamed;
}

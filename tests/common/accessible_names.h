#pragma once

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QStringList>
#include <QWidget>

// The fields of a window that a screen reader could not name: every widget
// that takes the focus needs an accessible name (its own, its text's or its
// buddy label's), or one of the widgets it takes the focus for (a web view
// for its page) does. The parts that a field is made of (a spin box's line
// edit, a view's viewport and editors) are named through their field.
inline QStringList unnamedFields(const QWidget *window)
{
    const auto named = [](QWidget *widget) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible && !accessible->text(QAccessible::Name).trimmed().isEmpty();
    };
    const auto isPart = [](const QWidget *widget) {
        for (const QWidget *owner = widget->parentWidget(); owner; owner = owner->parentWidget()) {
            if (qobject_cast<const QAbstractSpinBox *>(owner) ||
                qobject_cast<const QComboBox *>(owner) ||
                qobject_cast<const QAbstractItemView *>(owner))
                return true;
            if (owner->isWindow())
                break;
        }
        return false;
    };
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        bool ok = widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(window) ||
                  isPart(widget) || named(widget);
        for (QWidget *above = widget->parentWidget(); above && !ok; above = above->parentWidget())
            ok = above->focusProxy() == widget && named(above);
        if (!ok)
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + u' ' +
                           QString::fromLatin1(widget->parentWidget()->metaObject()->className());
    }
    return unnamed;
}

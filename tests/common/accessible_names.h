#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

// The fields of a window that a screen reader could not name: every widget
// that takes the focus needs an accessible name (its own, its text's or its
// buddy label's), or one of the widgets it takes the focus for (a web view
// for its page) does.
inline QStringList unnamedFields(const QWidget *window)
{
    const auto named = [](QWidget *widget) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible && !accessible->text(QAccessible::Name).trimmed().isEmpty();
    };
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        bool ok =
            widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(window) || named(widget);
        for (QWidget *above = widget->parentWidget(); above && !ok; above = above->parentWidget())
            ok = above->focusProxy() == widget && named(above);
        if (!ok)
            unnamed << QString::fromLatin1(widget->metaObject()->className());
    }
    return unnamed;
}

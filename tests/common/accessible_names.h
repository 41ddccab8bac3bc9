#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

inline bool hasAccessibleName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible && !accessible->text(QAccessible::Name).trimmed().isEmpty();
}

// The fields of a window that a screen reader could not name: every widget
// that takes the focus needs an accessible name, its own, its text's or its
// buddy label's. A widget that takes the focus for another (a web view's
// page) may go by that one's name.
inline QStringList unnamedFields(const QWidget *window)
{
    QStringList unnamed;
    const auto widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(window))
            continue;
        bool named = hasAccessibleName(widget);
        for (QWidget *above = widget->parentWidget(); above && !named;
             above = above->parentWidget())
            named = above->focusProxy() == widget && hasAccessibleName(above);
        if (!named)
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
                           widget->objectName();
    }
    return unnamed;
}

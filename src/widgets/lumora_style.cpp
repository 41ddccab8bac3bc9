#include "lumora_style.h"

#include <QLinearGradient>
#include <QStyleFactory>
#include <QToolTip>

LumoraStyle::LumoraStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
    QPalette palette = QToolTip::palette();
    QLinearGradient gradient(0, 0, 0, 250);
    gradient.setColorAt(0, palette.color(QPalette::Light));
    gradient.setColorAt(1, palette.color(QPalette::Mid));
    palette.setBrush(QPalette::ToolTipBase, QBrush(gradient));
    QToolTip::setPalette(palette);
}

int LumoraStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                           QStyleHintReturn *returnData) const
{
    if (hint == SH_Slider_PageSetButtons)
        return true;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

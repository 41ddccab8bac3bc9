#pragma once

#include <QProxyStyle>

// The application's look: the Fusion style with tool tips on a vertical
// gradient, and sliders that page towards a click on their groove.
class LumoraStyle : public QProxyStyle
{
    Q_OBJECT

public:
    LumoraStyle();

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
                  const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};

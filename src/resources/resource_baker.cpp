// Build-time tool: renders the icons named in icons.map from the installed
// Breeze theme and draws the application's own artwork (splash, launch
// header, tray icon); CMake compiles them into the resource tree. The
// application icon goes beside them in the hicolor theme's sizes, for the
// desktop entry.
//
// Usage: rw-resource-baker MAP THEME_DIR OUT_DIR

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextStream>

#include <cstdio>

namespace {

const QColor brandDark(0x1b, 0x26, 0x3b);
const QColor brandLight(0x2e, 0x8b, 0xc0);
const QColor accent(0xf5, 0xa6, 0x23);

bool fail(const QString &message)
{
    std::fprintf(stderr, "rw-resource-baker: %s\n", qUtf8Printable(message));
    return false;
}

bool renderSvg(const QString &svgPath, int size, const QString &pngPath)
{
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid())
        return fail(QStringLiteral("cannot read icon %1").arg(svgPath));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image.save(pngPath, "PNG") || fail(QStringLiteral("cannot write %1").arg(pngPath));
}

// A stage light beam: the mark of the application.
void drawMark(QPainter &painter, const QRectF &box)
{
    QPainterPath beam;
    beam.moveTo(box.left() + box.width() * 0.30, box.top() + box.height() * 0.18);
    beam.lineTo(box.left() + box.width() * 0.70, box.top() + box.height() * 0.18);
    beam.lineTo(box.right() - box.width() * 0.08, box.bottom() - box.height() * 0.12);
    beam.lineTo(box.left() + box.width() * 0.08, box.bottom() - box.height() * 0.12);
    beam.closeSubpath();
    QLinearGradient light(box.topLeft(), box.bottomLeft());
    light.setColorAt(0, accent);
    light.setColorAt(1, QColor(accent.red(), accent.green(), accent.blue(), 40));
    painter.fillPath(beam, light);
    painter.setBrush(Qt::white);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(box.left() + box.width() * 0.26, box.top() + box.height() * 0.06,
                                   box.width() * 0.48, box.height() * 0.16),
                            box.width() * 0.04, box.width() * 0.04);
}

// The application icon, also shown in the tray at 22 pixels.
bool drawAppIcon(int size, const QString &pngPath)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(brandDark);
    painter.setPen(Qt::NoPen);
    const qreal unit = size / 22.0;
    painter.drawRoundedRect(QRectF(0.5 * unit, 0.5 * unit, 21 * unit, 21 * unit), 4 * unit,
                            4 * unit);
    drawMark(painter, QRectF(2 * unit, 2 * unit, 18 * unit, 18 * unit));
    painter.end();
    return image.save(pngPath, "PNG") || fail(QStringLiteral("cannot write %1").arg(pngPath));
}

void fillBackdrop(QPainter &painter, const QRect &rect)
{
    QLinearGradient sky(rect.topLeft(), rect.bottomRight());
    sky.setColorAt(0, brandDark);
    sky.setColorAt(1, brandLight);
    painter.fillRect(rect, sky);
}

bool drawSplash(const QString &pngPath)
{
    // The splash message (version and maker's lines) is written below the
    // title at run time, in white, centred.
    QImage image(480, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(image.rect()), 18, 18);
    painter.setClipPath(shape);
    fillBackdrop(painter, image.rect());
    drawMark(painter, QRectF(200, 14, 80, 80));
    QFont title = painter.font();
    title.setPixelSize(30);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 96, 480, 40), Qt::AlignCenter, QStringLiteral("Lumora Rigwarden"));
    painter.end();
    return image.save(pngPath, "PNG") || fail(QStringLiteral("cannot write %1").arg(pngPath));
}

bool drawLaunchHeader(const QString &pngPath)
{
    QImage image(500, 80, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(painter, image.rect());
    drawMark(painter, QRectF(14, 8, 64, 64));
    QFont title = painter.font();
    title.setPixelSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(92, 0, 400, 80), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Lumora Rigwarden"));
    painter.end();
    return image.save(pngPath, "PNG") || fail(QStringLiteral("cannot write %1").arg(pngPath));
}

bool bake(const QString &mapPath, const QString &themeDir, const QString &outDir)
{
    QFile map(mapPath);
    if (!map.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("cannot read %1").arg(mapPath));
    static const QRegularExpression line(QStringLiteral("^(icons/(\\d+)x\\d+/\\S+)\\s+(\\S+)$"));
    QTextStream in(&map);
    while (!in.atEnd()) {
        const QString text = in.readLine().trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch match = line.match(text);
        if (!match.hasMatch())
            return fail(QStringLiteral("bad line in %1: %2").arg(mapPath, text));
        const QString name = match.captured(1);
        QDir(outDir).mkpath(QFileInfo(name).path());
        if (!renderSvg(themeDir + QLatin1Char('/') + match.captured(3), match.captured(2).toInt(),
                       outDir + QLatin1Char('/') + name))
            return false;
    }

    QDir(outDir).mkpath(QStringLiteral("icons/22x22"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        QDir(outDir).mkpath(folder);
        if (!drawAppIcon(size,
                         outDir + QLatin1Char('/') + folder + QLatin1String("/rigwarden.png")))
            return false;
    }
    if (!drawAppIcon(22, outDir + QLatin1String("/icons/22x22/tray_icon.png")) ||
        !drawSplash(outDir + QLatin1String("/splash.png")) ||
        !drawLaunchHeader(outDir + QLatin1String("/launch_header.png")))
        return false;

    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        fail(QStringLiteral("usage: rw-resource-baker MAP THEME_DIR OUT_DIR"));
        return 2;
    }
    return bake(args[1], args[2], args[3]) ? 0 : 1;
}

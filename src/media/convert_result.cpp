#include "convert_result.h"

#include "lum_assert.h"

#include <QCoreApplication>

#include <array>

namespace {
constexpr std::array<const char *, ConvertResult_MAX> convertResultTexts = {
    QT_TRANSLATE_NOOP("ConvertResult", "Ok"),
    QT_TRANSLATE_NOOP("ConvertResult", "Input file not found"),
    QT_TRANSLATE_NOOP("ConvertResult", "Input file not MPEG2"),
    QT_TRANSLATE_NOOP("ConvertResult", "Input file is not a raw M2V"),
    QT_TRANSLATE_NOOP("ConvertResult", "Input file is corrupt"),
    QT_TRANSLATE_NOOP("ConvertResult", "Input file is incomplete"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unsupported profile or level"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unsupported display size"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unsupported bitrate"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unsupported chroma format"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unsupported file length"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unsupported video type"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unable to write output file"),
    QT_TRANSLATE_NOOP("ConvertResult", "Internal buffer overflow"),
    QT_TRANSLATE_NOOP("ConvertResult", "Cancelled"),
    QT_TRANSLATE_NOOP("ConvertResult", "Unable to convert")};
} // namespace

QString convertResultText(ConvertResult result)
{
    LUM_ASSERT(result >= 0);
    LUM_ASSERT(result < ConvertResult_MAX);
    return QCoreApplication::translate("ConvertResult", convertResultTexts[result]);
}

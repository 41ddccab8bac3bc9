#include "types.h"

#include "lum_assert.h"

#include <QCoreApplication>

#include <array>
#include <utility>

namespace {
// The names are the system's own texts, shown as they are.
constexpr std::array<const char *, MediaType_MAX> mediaTypeNames = {
    "Unknown", "Show", "Video", "Audio", "Slot", "Folder", "Validator"};

constexpr std::array<const char *, HardwareType::Max + 1> hardwareTypeNames = {
    "Unknown", "NX1", "NX2", "KMA", "NX X", "VQ1", "VQ2", "KMA", "VQ X", "NX", "VQ", "TRM", "TRZ"};

constexpr std::array<std::pair<int, int>, 6> equivalentPairs = {
    {{1, 5}, {2, 6}, {3, 7}, {4, 8}, {9, 10}, {11, 12}}};

constexpr std::array<const char *, FileLoadResult_MAX> fileLoadResultTexts = {
    QT_TRANSLATE_NOOP("FileLoadResult", "No error"),
    QT_TRANSLATE_NOOP("FileLoadResult", "File is not recognised"),
    QT_TRANSLATE_NOOP("FileLoadResult", "The specified device cannot load this file")};

bool isKma(int type)
{
    return type == 3 || type == 7;
}
} // namespace

QString mediaTypeName(MediaType type)
{
    LUM_ASSERT(type >= 0);
    LUM_ASSERT(type < MediaType_MAX);
    return QString::fromLatin1(mediaTypeNames[type]);
}

namespace HardwareType {

QString name(int type)
{
    if (type < 0 || type > Max)
        type = Unknown;
    return QString::fromLatin1(hardwareTypeNames[type]);
}

int fromName(const QString &text)
{
    for (int type = 0; type <= Max; ++type) {
        if (text == QLatin1String(hardwareTypeNames[type]))
            return type;
    }
    return Unknown;
}

bool equivalent(int a, int b)
{
    if (a == b)
        return true;
    for (const auto &[first, second] : equivalentPairs) {
        if ((a == first && b == second) || (a == second && b == first))
            return true;
    }
    return false;
}

bool compatible(int a, int b)
{
    if (a < 1 || a > Max)
        return false;
    if (isKma(a))
        return isKma(b);
    return b >= 1 && b <= Max && !isKma(b);
}

} // namespace HardwareType

QString fileLoadResultText(FileLoadResult result)
{
    LUM_ASSERT(result >= 0);
    LUM_ASSERT(result < FileLoadResult_MAX);
    return QCoreApplication::translate("FileLoadResult", fileLoadResultTexts[result]);
}

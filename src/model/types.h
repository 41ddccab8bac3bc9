#pragma once

// Small enumerations with fixed display names shared by the model, the
// controller link and the user interface.

#include <QString>

// What a file of a show is, as the controller knows it.
enum MediaType
{
    MediaType_Unknown = 0,
    MediaType_Show = 1,
    MediaType_Video = 2,
    MediaType_Audio = 3,
    MediaType_Slot = 4,
    MediaType_Folder = 5,
    MediaType_Validator = 6,
    MediaType_MAX = 7
};

QString mediaTypeName(MediaType type);

// Controller models. 3 and 7 are both "KMA"; the NX and VQ families, the two
// KMA values and TRM/TRZ are the same hardware under two names.
namespace HardwareType {
constexpr int Unknown = 0;
constexpr int NX = 9;
constexpr int Max = 12;

QString name(int type);
// The first type whose name is exactly the text; 0 for an unknown text.
int fromName(const QString &text);
bool equivalent(int a, int b);
// Whether a controller of type a can take what was made for type b.
bool compatible(int a, int b);
} // namespace HardwareType

// Outcome of reading a show file.
enum FileLoadResult
{
    FileLoadResult_NoError = 0,
    FileLoadResult_NotRecognised = 1,
    FileLoadResult_WrongDevice = 2,
    FileLoadResult_MAX = 3
};

QString fileLoadResultText(FileLoadResult result);

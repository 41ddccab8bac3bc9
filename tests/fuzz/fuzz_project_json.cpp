// libFuzzer target: the project JSON import. A project it accepts without
// passwords exports to JSON that imports again and exports the same.

#include "lum_document.h"
#include "project_json.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static LumDocument document;
    const QJsonDocument json = QJsonDocument::fromJson(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!json.isObject())
        return 0;
    QString reason;
    if (!ProjectJson::fromJson(json.object(), document, &reason)) {
        // A refused project leaves nothing behind, and says why.
        if (reason.isEmpty() || !document.groups().isEmpty() || !document.controllers().isEmpty())
            __builtin_trap();
        return 0;
    }
    // An export only says that a password is set, which an import refuses.
    if (!document.masterPassword().isEmpty() || document.hasEntityPasswords() ||
        !document.mailSettings().password.isEmpty())
        return 0;
    const QJsonObject once = ProjectJson::toJson(document);
    if (!ProjectJson::fromJson(once, document, &reason) || ProjectJson::toJson(document) != once)
        __builtin_trap();
    return 0;
}

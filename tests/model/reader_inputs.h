#pragma once

// Inputs of the readers of controllers' answers, checked by the unit tests
// and seeding the fuzz targets.

#include "validator_file.h"

#include <QByteArray>
#include <QList>

namespace ReaderInputs {

// A status answer holding the given elements.
inline QByteArray statusAnswer(const QByteArray &inner)
{
    return "<?xml version=\"1.0\"?><response><system>" + inner + "</system></response>";
}

// A status answer with every field.
inline QByteArray fullStatusAnswer()
{
    return statusAnswer(
        "<hardwareType id=\"5\">NX1</hardwareType><serialNumber>A1</serialNumber>"
        "<firmwareVersion><major>300</major><minor>2</minor><point>129</point></firmwareVersion>"
        "<project><projectName>Show</projectName>"
        "<projectUuid>{6fa1c1e0-0c4a-4f8e-9d51-3c2b8f0e2a17}</projectUuid>"
        "<projectUploadDate>2013-11-05T14:03:59</projectUploadDate></project>"
        "<cfCardSizeKb>7812500</cfCardSizeKb>");
}

// The show file with its digest, a slot file without one, and the validator.
inline QList<FileToUpload> validatorFiles()
{
    QList<FileToUpload> files{FileToUpload(-1, MediaType_Show), FileToUpload(3, MediaType_Slot),
                              FileToUpload(-1, MediaType_Validator)};
    files[0].md5 = QByteArray(16, '\x5a');
    return files;
}

} // namespace ReaderInputs

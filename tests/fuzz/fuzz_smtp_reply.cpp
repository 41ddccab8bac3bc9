// libFuzzer target: the mail client's reading of a server's replies through
// the whole dialogue, authentication included.

#include "fuzz_peer.h"
#include "smtp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Smtp smtp;
    smtp.addRecipient(QStringLiteral("a@example.org"));
    smtp.addRecipient(QStringLiteral("b@example.org"));
    smtp.setFrom(QStringLiteral("Ops <ops@example.org>"));
    smtp.setSubject(QStringLiteral("Report"));
    smtp.setBody(QStringLiteral("All uploads succeeded.\n.hidden"));
    smtp.setConnectTimeout(2000);
    smtp.setReplyTimeout(2000);
    QObject::connect(&smtp, &Smtp::authenticationRequired, [](SmtpAuthenicator *credentials) {
        credentials->setUsername(QStringLiteral("tim"));
        credentials->setPassword(QStringLiteral("tanstaaftanstaaf"));
    });
    const auto start = [&smtp](quint16 port) { smtp.send(QStringLiteral("127.0.0.1"), port); };
    FuzzPeer::serve(bytes, start, &smtp, &Smtp::sent);
    return 0;
}

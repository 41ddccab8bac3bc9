// libFuzzer target: the FTP client's reading of a server's control replies
// (codes, multi-line replies, their bounds), during a login and a command.

#include "ftp_client.h"
#include "fuzz_peer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    FtpClient ftp;
    ftp.setInactivityTimeout(2000);
    const auto start = [&ftp](quint16 port) {
        ftp.connectToHost(QStringLiteral("127.0.0.1"), port);
        ftp.rawCommand(QStringLiteral("USER rigward"));
        ftp.rawCommand(QStringLiteral("PASS secret"));
        ftp.rawCommand(QStringLiteral("CWD /"));
        ftp.close();
    };
    FuzzPeer::serve(bytes, start, &ftp, &FtpClient::done);
    return 0;
}

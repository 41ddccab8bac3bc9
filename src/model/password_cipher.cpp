#include "password_cipher.h"

#include <QByteArray>

namespace {

// Every project file's passwords were enciphered from this seed: changing it
// makes all stored passwords unreadable. Never change it.
constexpr quint32 seed = 0x5A3C96E1;

enum class Direction
{
    Encode,
    Decode
};

// Taps at bits 0, 1, 2, 4, 6 and 31; the feedback bit enters at bit 31.
quint32 step(quint32 r)
{
    const quint32 feedback = (r ^ (r >> 1) ^ (r >> 2) ^ (r >> 4) ^ (r >> 6) ^ (r >> 31)) & 1u;
    return (r >> 1) | (feedback << 31);
}

QString transform(const QString &text, Direction direction)
{
    if (text.isEmpty())
        return text;
    QByteArray bytes = text.toLatin1();
    quint32 r = seed;
    for (char &byte : bytes) {
        r = step(r);
        const quint8 in = quint8(byte);
        const quint8 out = in ^ quint8(r);
        const quint8 plain = direction == Direction::Encode ? in : out;
        r ^= plain * 0x01010101u;
        byte = char(out);
    }
    return QString::fromLatin1(bytes);
}

} // namespace

QString PasswordCipher::encode(const QString &plain)
{
    return transform(plain, Direction::Encode);
}

QString PasswordCipher::decode(const QString &enciphered)
{
    return transform(enciphered, Direction::Decode);
}

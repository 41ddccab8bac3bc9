#pragma once

#include <QString>

// The enciphered form in which every password is held, in memory and in
// project files. A stream cipher: a 32-bit shift register, started at a fixed
// seed, whose low byte masks each byte and which is stirred by each plain
// byte. Not protection against a determined reader, only against a glance.
class PasswordCipher
{
public:
    // Characters beyond 8 bits become "?". An empty text stays empty; the
    // result has one character per input character, codes 0 to 255.
    static QString encode(const QString &plain);
    static QString decode(const QString &enciphered);
};

#pragma once

// Assertions guard programming errors only: identifiers that do not exist,
// missing map entries, values beyond an enumeration's bound. A failure is
// formatted as "Error <message> at line <n> in file <name>", handed to the
// dump hook (crash reporting writes a dump there) and ends the process.
//
//   LUM_ASSERT(instance == NULL)  ->  "Assert: 'instance == NULL' is FALSE"
//   LUM_TRAP(file.isOpen())       ->  "Trap: 'file.isOpen()' is TRUE"

#include <string>

namespace lum {

// Called with the formatted text before the process ends.
using FatalHook = void (*)(const char *text);

[[noreturn]] void assertionFailed(const char *message, int line, const char *file);

// The formatted text of a failed assertion, as written to stderr.
std::string assertionText(const char *message, int line, const char *file);

// Installs the hook run before the process ends; returns the previous one.
FatalHook setFatalHook(FatalHook hook);

} // namespace lum

#define LUM_ASSERT(expr)                                                                           \
    do {                                                                                           \
        if (!(expr))                                                                               \
            ::lum::assertionFailed("Assert: '" #expr "' is FALSE", __LINE__, __FILE__);            \
    } while (false)

#define LUM_TRAP(expr)                                                                             \
    do {                                                                                           \
        if (expr)                                                                                  \
            ::lum::assertionFailed("Trap: '" #expr "' is TRUE", __LINE__, __FILE__);               \
    } while (false)

#include "lum_assert.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lum {

namespace {
std::atomic<FatalHook> fatalHook{nullptr};

const char *baseName(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}
} // namespace

std::string assertionText(const char *message, int line, const char *file)
{
    return "Error " + std::string(message) + " at line " + std::to_string(line) + " in file " +
           baseName(file);
}

FatalHook setFatalHook(FatalHook hook)
{
    return fatalHook.exchange(hook);
}

void assertionFailed(const char *message, int line, const char *file)
{
    const std::string text = assertionText(message, line, file);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (FatalHook hook = fatalHook.load())
        hook(text.c_str());
    std::abort();
}

} // namespace lum

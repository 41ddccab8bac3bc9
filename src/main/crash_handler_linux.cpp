// The crash handler on Linux: signal handlers on an alternate stack, so that
// a stack overflow is caught too; the dump is written by the faulting thread
// inside its handler (CrashDump), and the message comes from a process of its
// own started with clone and execve, since a crashed process cannot run a
// window.

#include "crash_handler.h"

#include "app_constants.h"
#include "crash_dump.h"
#include "lum_assert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iterator>

extern char **environ;

namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t AlternateStackSize = 256 * 1024;
constexpr int PrefixLimit = 180;

// Everything the handler reads, prepared at installation.
struct Settings
{
    char folder[PATH_MAX];
    char prefix[PrefixLimit * 4 + 1]; // UTF-8
    char messageProgram[PATH_MAX];
    char version[64];
    CrashCallback callback;
};
Settings settings;
std::atomic<bool> installed{false};

// The thread that writes a dump, 0 when none does. A fatal signal keeps it:
// the process ends with that dump, however many threads crash.
std::atomic<long> writer{0};

// The local time's offset from UTC and when it changes (daylight saving),
// tabulated at installation for two years ahead: the C library's time zone
// code may take a lock that the crashed thread holds.
struct OffsetChange
{
    time_t from;
    long offset;
};
OffsetChange offsetChanges[32];
int offsetChangeCount = 0;

long offsetAt(time_t when)
{
    tm parts{};
    localtime_r(&when, &parts);
    return parts.tm_gmtoff;
}

void tabulateLocalTime()
{
    const time_t now = time(nullptr);
    offsetChanges[0] = {now, offsetAt(now)};
    offsetChangeCount = 1;
    for (int day = 1; day <= 731 && offsetChangeCount < int(std::size(offsetChanges)); ++day) {
        const long previous = offsetChanges[offsetChangeCount - 1].offset;
        time_t low = now + time_t(day - 1) * 86400;
        time_t high = low + 86400;
        if (offsetAt(high) == previous)
            continue;
        while (high - low > 1) {
            const time_t middle = low + (high - low) / 2;
            (offsetAt(middle) == previous ? low : high) = middle;
        }
        offsetChanges[offsetChangeCount++] = {high, offsetAt(high)};
    }
}

long localOffset(time_t when)
{
    long offset = offsetChanges[0].offset;
    for (int i = 1; i < offsetChangeCount && when >= offsetChanges[i].from; ++i)
        offset = offsetChanges[i].offset;
    return offset;
}

long currentThread()
{
    return ::syscall(SYS_gettid);
}

// Waits while another thread writes a dump, then takes the writer; false when
// this thread holds it already (it faulted while writing, or it aborts after
// its failed assertion's dump).
bool claimWriter()
{
    const long self = currentThread();
    for (;;) {
        long expected = 0;
        if (writer.compare_exchange_strong(expected, self))
            return true;
        if (expected == self)
            return false;
        const timespec pause{0, 1000000};
        ::nanosleep(&pause, nullptr);
    }
}

// Bounded string building without the C library's formatting.
class PathText
{
public:
    PathText &add(const char *text)
    {
        while (*text && m_used + 1 < sizeof m_text)
            m_text[m_used++] = *text++;
        m_text[m_used] = '\0';
        return *this;
    }
    PathText &twoDigits(int value)
    {
        const char digits[] = {char('0' + value / 10 % 10), char('0' + value % 10), '\0'};
        return add(digits);
    }
    const char *text() const { return m_text; }

private:
    char m_text[PATH_MAX] = {};
    size_t m_used = 0;
};

// A fresh random identifier, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x".
void addIdentifier(PathText &path)
{
    unsigned char bytes[16] = {};
    if (::syscall(SYS_getrandom, bytes, sizeof bytes, 0x1 /* GRND_NONBLOCK */) !=
        long(sizeof bytes)) {
        // Without the kernel's random source: time, process and a counter.
        static std::atomic<unsigned> counter{0};
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const unsigned long long values[] = {
            static_cast<unsigned long long>(now.tv_nsec) ^
                (static_cast<unsigned long long>(::getpid()) << 32),
            static_cast<unsigned long long>(now.tv_sec) + counter.fetch_add(1)};
        std::memcpy(bytes, values, sizeof bytes);
    }
    bytes[6] = (bytes[6] & 0x0f) | 0x40; // version 4, random
    bytes[8] = (bytes[8] & 0x3f) | 0x80;
    char text[37];
    int at = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text[at++] = '-';
        text[at++] = "0123456789abcdef"[bytes[i] >> 4];
        text[at++] = "0123456789abcdef"[bytes[i] & 0xf];
    }
    text[at] = '\0';
    path.add(text);
}

// Moves the dump to its dated name unless a file of that name exists.
bool renameWithoutReplacing(const char *from, const char *to)
{
    if (::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1 /* RENAME_NOREPLACE */) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without it: a link fails on an existing name too.
    if (::link(from, to) != 0)
        return false;
    ::unlink(from);
    return true;
}

void writeAll(int fd, const char *text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(fd, text, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text += written;
        left -= size_t(written);
    }
}

bool hasDisplay()
{
    for (char **entry = environ; entry && *entry; ++entry) {
        for (const char *name : {"DISPLAY=", "WAYLAND_DISPLAY="}) {
            const size_t length = std::strlen(name);
            if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] != '\0')
                return true;
        }
    }
    return false;
}

// Runs the message program and waits until the user has read the message;
// false when it could not show it.
bool showMessageWindow(const char *dumpPath)
{
    if (!settings.messageProgram[0] || !hasDisplay() ||
        ::access(settings.messageProgram, X_OK) != 0)
        return false;
    // A bare clone: fork() would run the process's fork handlers, which may
    // take locks that the crashed thread holds.
    const long child = ::syscall(SYS_clone, SIGCHLD, 0, nullptr, nullptr, 0);
    if (child < 0)
        return false;
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // No locks or sockets of the crashed process live on in the window.
        if (::syscall(SYS_close_range, 3U, ~0U, 0) != 0) {
            for (int fd = 3; fd < 4096; ++fd)
                ::close(fd);
        }
        char *const arguments[] = {settings.messageProgram, const_cast<char *>(dumpPath), nullptr};
        ::execve(settings.messageProgram, arguments, environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid_t(child), &status, 0) < 0) {
        if (errno != EINTR)
            return true; // reaped elsewhere (SIGCHLD ignored): it ran
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void tellUser(const char *dumpPath)
{
    if (!dumpPath) {
        writeAll(STDERR_FILENO, "The application has encountered an error.\n\n"
                                "No crash dump file could be saved in\n'");
        writeAll(STDERR_FILENO, settings.folder);
        writeAll(STDERR_FILENO, "'\n");
        return;
    }
    if (showMessageWindow(dumpPath))
        return;
    writeAll(STDERR_FILENO, "The application has encountered an error.\n\n"
                            "Saved crash dump file to\n'");
    writeAll(STDERR_FILENO, dumpPath);
    writeAll(STDERR_FILENO, "'\n");
}

// Writes the dump under a fresh identifier, renames it after the local time,
// tells the user where it is and calls the callback.
void writeDump(const CrashDump::Cause &cause)
{
    static PathText fresh;
    static PathText dated;
    fresh = PathText();
    fresh.add(settings.folder).add("/");
    addIdentifier(fresh);
    fresh.add(".dmp");

    const time_t now = time(nullptr);
    const long offset = localOffset(now);
    ::mkdir(settings.folder, 0777); // made again if it was removed since
    const int fd = ::open(fresh.text(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        CrashDump::write(fd, cause, settings.version, now, offset);
        ::fsync(fd);
        ::close(fd);
    }

    const CrashDump::LocalTime local = CrashDump::localTime(now, offset);
    dated = PathText();
    dated.add(settings.folder).add("/").add(settings.prefix).add("_");
    dated.twoDigits(local.month).twoDigits(local.day).add("_").twoDigits(local.hour).add("_");
    dated.twoDigits(local.minute).add("_").twoDigits(local.second).add(".dmp");

    const char *shown = nullptr;
    if (fd >= 0)
        shown = renameWithoutReplacing(fresh.text(), dated.text()) ? dated.text() : fresh.text();
    tellUser(shown);
    if (settings.callback)
        settings.callback(shown ? shown : "");
}

// Lets the process end by the signal, as it would have without us: the
// signal is blocked while its handler runs, so it arrives on return.
void endBySignal(int signalNumber)
{
    struct sigaction action
    {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signalNumber, &action, nullptr);
    ::syscall(SYS_tgkill, ::getpid(), currentThread(), signalNumber);
}

void onFatalSignal(int signalNumber, siginfo_t *info, void *context)
{
    if (claimWriter()) {
        CrashDump::Cause cause;
        cause.signalNumber = signalNumber;
        cause.info = info;
        cause.context = static_cast<const ucontext_t *>(context);
        writeDump(cause);
    }
    endBySignal(signalNumber);
}

// The assertion path: the dump before the abort, which then ends the process
// without a second one.
void onAssertionFailed(const char *text)
{
    if (!claimWriter())
        return;
    CrashDump::Cause cause;
    cause.signalNumber = SIGABRT;
    cause.signalFollows = true;
    cause.reason = text;
    writeDump(cause);
}

// The installing thread's alternate signal stack, unless it has a big enough one.
void installAlternateStack()
{
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
        current.ss_size >= AlternateStackSize)
        return;
    void *memory = ::mmap(nullptr, AlternateStackSize, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = AlternateStackSize;
    ::sigaltstack(&stack, nullptr);
}

void copyText(char *target, size_t size, const QByteArray &text)
{
    const size_t length = qMin(size - 1, size_t(text.size()));
    std::memcpy(target, text.constData(), length);
    target[length] = '\0';
}

} // namespace

bool installCrashHandler(const QString &folder, const QString &prefix, CrashCallback callback)
{
    if (installed.load())
        return false;
    const QFileInfo info(folder);
    if ((info.exists() && !info.isDir()) || !QDir().mkpath(folder))
        return false;
    const QByteArray folderName = QFile::encodeName(QDir(folder).absolutePath());
    const QByteArray prefixName = prefix.isEmpty() ? QByteArrayLiteral("core_dump")
                                                   : QFile::encodeName(prefix.left(PrefixLimit));
    // Room for the longer of the two names, the identifier's.
    if (size_t(folderName.size()) + size_t(prefixName.size()) + 48 >= PATH_MAX)
        return false;
    copyText(settings.folder, sizeof settings.folder, folderName);
    copyText(settings.prefix, sizeof settings.prefix, prefixName);
    copyText(settings.version, sizeof settings.version, AppConstants::versionText().toUtf8());
    settings.callback = callback;

    tabulateLocalTime();
    CrashDump::prepare();
    installAlternateStack();
    for (const int signalNumber : FatalSignals) {
        struct sigaction previous
        {};
        ::sigaction(signalNumber, nullptr, &previous);
        const bool handled = (previous.sa_flags & SA_SIGINFO) ||
                             (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN);
        if (handled)
            continue;
        struct sigaction action
        {};
        action.sa_sigaction = onFatalSignal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }
    lum::setFatalHook(&onAssertionFailed);
    installed.store(true);
    return true;
}

void writeDumpNow()
{
    if (!installed.load() || !claimWriter())
        return;
    writeDump(CrashDump::Cause());
    writer.store(0);
}

void setCrashMessageProgram(const QString &path)
{
    copyText(settings.messageProgram, sizeof settings.messageProgram, QFile::encodeName(path));
}

QString crashMessageProgramName()
{
    return QStringLiteral("rigwarden-crash-message");
}

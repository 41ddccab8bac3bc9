#include "crash_dump.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <dirent.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

// Buffered text output to a file descriptor, formatting without the C library.
class Out
{
public:
    explicit Out(int fd) : m_fd(fd) {}

    Out &text(const char *s)
    {
        while (*s)
            put(*s++);
        return *this;
    }
    Out &dec(long long value)
    {
        char digits[24];
        int n = 0;
        unsigned long long magnitude = value < 0 ? 0ULL - value : value;
        do {
            digits[n++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (value < 0)
            put('-');
        while (n)
            put(digits[--n]);
        return *this;
    }
    // At least `width` digits, zero-padded.
    Out &dec(long long value, int width)
    {
        for (long long limit = 10; width > 1; --width, limit *= 10) {
            if (value < limit)
                put('0');
        }
        return dec(value);
    }
    Out &hex(unsigned long long value, int width = 1)
    {
        text("0x");
        return hexDigits(value, width);
    }
    Out &hexDigits(unsigned long long value, int width)
    {
        char digits[16];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value & 0xf];
            value >>= 4;
        } while (value);
        while (width-- > n)
            put('0');
        while (n)
            put(digits[--n]);
        return *this;
    }
    bool flush()
    {
        const char *p = m_buffer;
        while (m_used > 0) {
            const ssize_t written = ::write(m_fd, p, m_used);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                m_ok = false;
                m_used = 0;
                break;
            }
            p += written;
            m_used -= size_t(written);
        }
        return m_ok;
    }

private:
    void put(char c)
    {
        if (m_used == sizeof m_buffer)
            flush();
        m_buffer[m_used++] = c;
    }

    int m_fd;
    char m_buffer[4096];
    size_t m_used = 0;
    bool m_ok = true;
};

// Reads a whole small file into `buffer`, terminated; the length read.
size_t readFile(const char *path, char *buffer, size_t size)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t used = 0;
    while (used + 1 < size) {
        const ssize_t n = ::read(fd, buffer + used, size - 1 - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += size_t(n);
    }
    ::close(fd);
    buffer[used] = '\0';
    return used;
}

const char *parseHex(const char *p, uintptr_t *value)
{
    *value = 0;
    for (;; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9')
            *value = *value * 16 + uintptr_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            *value = *value * 16 + uintptr_t(c - 'a' + 10);
        else
            return p;
    }
}

const char *skipField(const char *p)
{
    while (*p && *p != ' ')
        ++p;
    while (*p == ' ')
        ++p;
    return p;
}

struct Module
{
    const char *path = nullptr;
    uintptr_t base = 0; // start of its mapping at file offset 0
    uintptr_t bias = 0; // load address minus the file's own addresses
    unsigned char buildId[64];
    size_t buildIdSize = 0;
    bool elf = false; // not a mapped data file (a locale, a cache)
};

struct Mapping
{
    uintptr_t start = 0;
    uintptr_t end = 0;
    char perms[5] = {};
    const char *path = nullptr; // into mapsText, or null
    int module = -1;
};

// Static storage: a crashed process may have no heap left to use.
char mapsText[2 << 20];
Mapping mappings[8192];
int mappingCount = 0;
Module modules[2048];
int moduleCount = 0;

int findModule(const char *path)
{
    for (int i = 0; i < moduleCount; ++i) {
        if (std::strcmp(modules[i].path, path) == 0)
            return i;
    }
    return -1;
}

// The bias from the file's first loaded segment, and its GNU build identifier.
void readElf(Module &module)
{
    module.bias = module.base;
    const int fd = ::open(module.path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ElfW(Ehdr) header;
    ElfW(Phdr) segments[64];
    if (::pread(fd, &header, sizeof header, 0) != ssize_t(sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum > 64 ||
        ::pread(fd, segments, header.e_phnum * sizeof(ElfW(Phdr)), off_t(header.e_phoff)) !=
            ssize_t(header.e_phnum * sizeof(ElfW(Phdr)))) {
        ::close(fd);
        return;
    }
    module.elf = true;
    bool loadSeen = false;
    for (int i = 0; i < header.e_phnum; ++i) {
        const ElfW(Phdr) &segment = segments[i];
        if (segment.p_type == PT_LOAD && !loadSeen) {
            loadSeen = true;
            const uintptr_t alignment = segment.p_align ? segment.p_align : 1;
            module.bias = module.base - (segment.p_vaddr & ~(alignment - 1));
        }
        if (segment.p_type != PT_NOTE || module.buildIdSize)
            continue;
        alignas(8) unsigned char notes[2048];
        const size_t size = segment.p_filesz < sizeof notes ? segment.p_filesz : sizeof notes;
        if (::pread(fd, notes, size, off_t(segment.p_offset)) != ssize_t(size))
            continue;
        for (size_t at = 0; at + sizeof(ElfW(Nhdr)) <= size;) {
            ElfW(Nhdr) note;
            std::memcpy(&note, notes + at, sizeof note);
            const size_t nameAt = at + sizeof note;
            const size_t descAt = nameAt + ((note.n_namesz + 3) & ~size_t(3));
            const size_t next = descAt + ((note.n_descsz + 3) & ~size_t(3));
            if (next > size || next <= at)
                break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                std::memcmp(notes + nameAt, "GNU", 4) == 0 &&
                note.n_descsz <= sizeof module.buildId) {
                std::memcpy(module.buildId, notes + descAt, note.n_descsz);
                module.buildIdSize = note.n_descsz;
                break;
            }
            at = next;
        }
    }
    ::close(fd);
}

// Reads /proc/self/maps into the mapping and module tables.
void readMaps()
{
    mappingCount = 0;
    moduleCount = 0;
    const size_t length = readFile("/proc/self/maps", mapsText, sizeof mapsText);
    char *line = mapsText;
    while (line < mapsText + length && mappingCount < int(std::size(mappings))) {
        char *end = std::strchr(line, '\n');
        if (end)
            *end = '\0';
        Mapping &mapping = mappings[mappingCount++];
        uintptr_t offset = 0;
        const char *p = parseHex(line, &mapping.start);
        p = parseHex(p + 1, &mapping.end);
        while (*p == ' ')
            ++p;
        std::memcpy(mapping.perms, p, 4);
        p = parseHex(skipField(p), &offset);
        p = skipField(skipField(skipField(p))); // device, inode
        mapping.path = *p ? p : nullptr;
        mapping.module = -1;
        if (mapping.path && mapping.path[0] == '/') {
            mapping.module = findModule(mapping.path);
            if (mapping.module < 0 && offset == 0 && moduleCount < int(std::size(modules))) {
                Module &module = modules[moduleCount];
                module = Module();
                module.path = mapping.path;
                module.base = mapping.start;
                readElf(module);
                mapping.module = moduleCount++;
            }
        }
        if (!end)
            break;
        line = end + 1;
    }
}

const Mapping *mappingOf(uintptr_t address)
{
    for (int i = 0; i < mappingCount; ++i) {
        if (address >= mappings[i].start && address < mappings[i].end)
            return &mappings[i];
    }
    return nullptr;
}

const char *signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

const char *codeName(int signalNumber, int code)
{
    switch (code) {
    case SI_USER:
        return "SI_USER (sent by kill)";
    case SI_TKILL:
        return "SI_TKILL (sent by tkill or raise)";
    case SI_QUEUE:
        return "SI_QUEUE";
    }
    if (signalNumber == SIGSEGV) {
        switch (code) {
        case SEGV_MAPERR:
            return "SEGV_MAPERR (address not mapped)";
        case SEGV_ACCERR:
            return "SEGV_ACCERR (access not permitted)";
        }
    } else if (signalNumber == SIGBUS) {
        switch (code) {
        case BUS_ADRALN:
            return "BUS_ADRALN";
        case BUS_ADRERR:
            return "BUS_ADRERR";
        case BUS_OBJERR:
            return "BUS_OBJERR";
        }
    } else if (signalNumber == SIGFPE) {
        switch (code) {
        case FPE_INTDIV:
            return "FPE_INTDIV (integer divide by zero)";
        case FPE_INTOVF:
            return "FPE_INTOVF";
        case FPE_FLTDIV:
            return "FPE_FLTDIV";
        }
    } else if (signalNumber == SIGILL) {
        switch (code) {
        case ILL_ILLOPC:
            return "ILL_ILLOPC (illegal opcode)";
        case ILL_ILLOPN:
            return "ILL_ILLOPN";
        case ILL_PRVOPC:
            return "ILL_PRVOPC";
        }
    }
    return "";
}

void writeTime(Out &out, time_t now, long utcOffset)
{
    const CrashDump::LocalTime time = CrashDump::localTime(now, utcOffset);
    out.dec(time.year).text("-").dec(time.month, 2).text("-").dec(time.day, 2).text(" ");
    out.dec(time.hour, 2).text(":").dec(time.minute, 2).text(":").dec(time.second, 2);
    const long offset = utcOffset < 0 ? -utcOffset : utcOffset;
    out.text(" local, UTC").text(utcOffset < 0 ? "-" : "+");
    out.dec(offset / 3600, 2).text(":").dec(offset / 60 % 60, 2).text("\n");
}

void writeRegisters(Out &out, const ucontext_t *context)
{
#if defined(__x86_64__)
    static const struct
    {
        const char *name;
        int index;
    } registers[] = {{"rip", REG_RIP}, {"rsp", REG_RSP},   {"rbp", REG_RBP}, {"rax", REG_RAX},
                     {"rbx", REG_RBX}, {"rcx", REG_RCX},   {"rdx", REG_RDX}, {"rsi", REG_RSI},
                     {"rdi", REG_RDI}, {"r8", REG_R8},     {"r9", REG_R9},   {"r10", REG_R10},
                     {"r11", REG_R11}, {"r12", REG_R12},   {"r13", REG_R13}, {"r14", REG_R14},
                     {"r15", REG_R15}, {"eflags", REG_EFL}};
    out.text("registers:");
    int column = 0;
    for (const auto &reg : registers) {
        out.text(column++ % 4 == 0 ? "\n  " : "  ").text(reg.name).text(" ");
        out.hex(static_cast<unsigned long long>(context->uc_mcontext.gregs[reg.index]), 16);
    }
    out.text("\n");
#else
    (void)context;
    out.text("registers: not collected on this architecture\n");
#endif
}

void writeFrame(Out &out, long number, unw_cursor_t *cursor, bool exact)
{
    unw_word_t ip = 0;
    unw_get_reg(cursor, UNW_REG_IP, &ip);
    out.text("  #").dec(number, 2).text(" ").hex(ip, 16);
    if (const Mapping *mapping = mappingOf(ip); mapping && mapping->module >= 0) {
        const Module &module = modules[mapping->module];
        // A caller's address is where it returns to: its call is one byte before.
        out.text(" ").text(module.path).text(" ").hex(ip - module.bias - (exact ? 0 : 1));
    } else if (mapping && mapping->path) {
        out.text(" ").text(mapping->path);
    }
    char name[512];
    unw_word_t offset = 0;
    const int found = unw_get_proc_name(cursor, name, sizeof name, &offset);
    if (found == 0 || found == -UNW_ENOMEM) {
        name[sizeof name - 1] = '\0';
        out.text(" ").text(name).text("+").hex(offset);
    }
    out.text("\n");
}

// The frames of the deepest stack a dump keeps: its top, where the fault
// is, and its bottom, which tells who began a runaway recursion.
constexpr long TopFrames = 100;
constexpr long BottomFrames = 50;
constexpr long MaxSteps = 200000;
struct KeptFrame
{
    unw_cursor_t cursor;
    bool exact;
};
KeptFrame bottomFrames[BottomFrames];

void writeStack(Out &out, const ucontext_t *faulting)
{
    unw_context_t context;
    unw_cursor_t cursor;
    int started;
#if defined(__x86_64__)
    static_assert(sizeof(unw_context_t) == sizeof(ucontext_t));
    if (faulting) {
        std::memcpy(&context, faulting, sizeof context);
        started = unw_init_local2(&cursor, &context, UNW_INIT_SIGNAL_FRAME);
    } else
#endif
    {
        unw_getcontext(&context);
        started = unw_init_local(&cursor, &context);
    }
    out.text("stack: frame, address, module, file address, symbol+offset\n");
    if (started != 0) {
        out.text("  (the unwinder could not start)\n");
        return;
    }
    // The top frame of a signal is the faulting instruction itself.
    bool exact = faulting != nullptr;
    long count = 0;
    for (; count < MaxSteps; ++count) {
        unw_word_t ip = 0;
        if (unw_get_reg(&cursor, UNW_REG_IP, &ip) != 0 || ip == 0)
            break;
        if (count < TopFrames)
            writeFrame(out, count, &cursor, exact);
        else
            bottomFrames[count % BottomFrames] = {cursor, exact};
        exact = unw_is_signal_frame(&cursor) > 0;
        if (unw_step(&cursor) <= 0) {
            ++count;
            break;
        }
    }
    const long first = count - BottomFrames > TopFrames ? count - BottomFrames : TopFrames;
    if (first > TopFrames)
        out.text("  ... ").dec(first - TopFrames).text(" frames left out\n");
    for (long number = first; number < count; ++number) {
        KeptFrame &kept = bottomFrames[number % BottomFrames];
        writeFrame(out, number, &kept.cursor, kept.exact);
    }
}

void writeThreads(Out &out, long faultingThread)
{
    out.text("threads: id, name (stacks of the faulting thread only)\n");
    const int directory = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return;
    alignas(8) char entries[4096];
    for (;;) {
        const long size = ::syscall(SYS_getdents64, directory, entries, sizeof entries);
        if (size <= 0)
            break;
        for (long at = 0; at < size;) {
            const auto *entry = reinterpret_cast<const struct dirent64 *>(entries + at);
            at += entry->d_reclen;
            if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
                continue;
            char path[64] = "/proc/self/task/";
            size_t used = std::strlen(path);
            for (const char *c = entry->d_name; *c && used < 40; ++c)
                path[used++] = *c;
            std::memcpy(path + used, "/comm", 6);
            char name[32];
            const size_t length = readFile(path, name, sizeof name);
            if (length > 0 && name[length - 1] == '\n')
                name[length - 1] = '\0';
            out.text("  ").text(entry->d_name).text(" ").text(name);
            long id = 0;
            for (const char *c = entry->d_name; *c; ++c)
                id = id * 10 + (*c - '0');
            out.text(id == faultingThread ? " (faulting)\n" : "\n");
        }
    }
    ::close(directory);
}

void writeModules(Out &out)
{
    out.text("modules: start, end, path, load bias, build id\n");
    for (int i = 0; i < moduleCount; ++i) {
        const Module &module = modules[i];
        if (!module.elf)
            continue;
        uintptr_t end = module.base;
        for (int m = 0; m < mappingCount; ++m) {
            if (mappings[m].module == i && mappings[m].end > end)
                end = mappings[m].end;
        }
        out.text("  ").hex(module.base, 16).text("-").hex(end, 16).text(" ").text(module.path);
        out.text(" bias ").hex(module.bias).text(" build-id ");
        if (!module.buildIdSize)
            out.text("none");
        for (size_t b = 0; b < module.buildIdSize; ++b)
            out.hexDigits(module.buildId[b], 2);
        out.text("\n");
    }
}

} // namespace

bool CrashDump::write(int fd, const Cause &cause, const char *version, time_t now, long utcOffset)
{
    readMaps();
    Out out(fd);
    const long thread = ::syscall(SYS_gettid);
    char executable[1024];
    const ssize_t length = ::readlink("/proc/self/exe", executable, sizeof executable - 1);
    executable[length > 0 ? length : 0] = '\0';

    out.text("Rigwarden crash dump\n");
    out.text("version: ").text(version).text("\n");
    out.text("time: ");
    writeTime(out, now, utcOffset);
    out.text("process: ").dec(::getpid()).text(" ").text(executable).text("\n");
    out.text("thread: ").dec(thread).text("\n");
    if (cause.signalNumber) {
        out.text("signal: ").dec(cause.signalNumber).text(" ").text(signalName(cause.signalNumber));
        out.text(cause.signalFollows ? " (raised after this dump)\n" : "\n");
    } else {
        out.text("signal: none (written on request)\n");
    }
    if (cause.info) {
        out.text("code: ").dec(cause.info->si_code).text(" ");
        out.text(codeName(cause.signalNumber, cause.info->si_code)).text("\n");
        if (cause.info->si_code <= 0)
            out.text("sender: process ").dec(cause.info->si_pid).text("\n");
        else
            out.text("address: ")
                .hex(reinterpret_cast<uintptr_t>(cause.info->si_addr), 16)
                .text("\n");
    }
    if (cause.reason)
        out.text("reason: ").text(cause.reason).text("\n");
    out.text("\n");
    const ucontext_t *registers = cause.context;
#if defined(__x86_64__)
    unw_context_t own;
    if (!registers) {
        unw_getcontext(&own);
        registers = &own;
    }
#endif
    if (registers)
        writeRegisters(out, registers);
    out.text("\n");
    writeStack(out, cause.context);
    out.text("\n");
    writeThreads(out, thread);
    out.text("\n");
    writeModules(out);
    return out.flush();
}

CrashDump::LocalTime CrashDump::localTime(time_t now, long utcOffset)
{
    // Days to a civil date in the proleptic Gregorian calendar.
    const long long local = static_cast<long long>(now) + utcOffset;
    long long days = local / 86400;
    long long seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    LocalTime time;
    time.day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.year = yearOfEra + era * 400 + (time.month <= 2);
    time.hour = int(seconds / 3600);
    time.minute = int(seconds / 60 % 60);
    time.second = int(seconds % 60);
    return time;
}

void CrashDump::prepare()
{
    // The unwinder sets itself up on first use, which may allocate.
    unw_context_t context;
    unw_cursor_t cursor;
    unw_getcontext(&context);
    if (unw_init_local(&cursor, &context) == 0) {
        char name[64];
        unw_word_t offset;
        unw_get_proc_name(&cursor, name, sizeof name, &offset);
        unw_step(&cursor);
    }
}

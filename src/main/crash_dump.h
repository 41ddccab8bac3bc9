#pragma once

#include <csignal>
#include <ctime>

// The text of a crash dump. It is written from a signal handler, so it uses
// only async-signal-safe calls, static buffers and no allocation:
//
//   the signal and its code, the faulting address, the reason (a failed
//   assertion's text), the registers and the stack of the faulting thread
//   (each frame as address, module, address within the module's file and
//   symbol), the threads of the process, and the loaded modules with their
//   load addresses and build identifiers.
//
// A frame's "file address" is what addr2line takes with the module's file.
class CrashDump
{
public:
    struct Cause
    {
        int signalNumber = 0;                // 0: written on request
        const siginfo_t *info = nullptr;     // with a signal
        const ucontext_t *context = nullptr; // null: the calling thread as it is now
        const char *reason = nullptr;        // a failed assertion's text, or null
        bool signalFollows = false;          // the process ends with the signal next
    };

    // Writes the dump to `fd`; false when a write failed. `utcOffset` is the
    // local time's offset from UTC in seconds at `now`.
    static bool write(int fd, const Cause &cause, const char *version, time_t now, long utcOffset);

    struct LocalTime
    {
        long long year = 0;
        int month = 0; // 1 to 12
        int day = 0;
        int hour = 0;
        int minute = 0;
        int second = 0;
    };
    // Without the C library's time zone code, which may lock.
    static LocalTime localTime(time_t now, long utcOffset);

    // Loads what the unwinder needs, so that the first dump does not do it
    // inside a signal handler.
    static void prepare();
};

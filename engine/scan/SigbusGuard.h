#pragma once

#include <csetjmp>
#include <cstddef>

// Reading a mapped page past the end of a file that shrank after it was mapped (a log rotated
// with copytruncate) raises SIGBUS. A guard armed over a mapped range turns that signal, when
// it hits the range on the guard's thread, into a jump back to the guard point:
//
//     CSigbusGuard guard(data, size);
//     if (SIGBUS_GUARD_FAULTED(guard)) { ...the range is gone... }
//     ...read the range...
//
// Only plain reads of the range and copies out of it may run between the guard point and the
// guard's end: a jump skips destructors and leaves locks held. A SIGBUS outside any armed range
// goes to the handler that was installed before ours, or kills the process as it would have.
class CSigbusGuard {
public:
    CSigbusGuard(const void* begin, std::size_t length);
    ~CSigbusGuard();
    CSigbusGuard(const CSigbusGuard&) = delete;
    CSigbusGuard& operator=(const CSigbusGuard&) = delete;

    sigjmp_buf& JumpBuffer() { return m_jump; }
    // True when the process-wide handler is in place (it is installed by the first guard).
    static bool IsInstalled();

private:
    friend void OnGuardedSigbus(int, void*);
    sigjmp_buf m_jump;
    const char* m_begin;
    const char* m_end;
    CSigbusGuard* m_previous;
};

// The signal mask is left alone (the handler runs with SA_NODEFER), so no system call is made.
#define SIGBUS_GUARD_FAULTED(guard) (sigsetjmp((guard).JumpBuffer(), 0) != 0)

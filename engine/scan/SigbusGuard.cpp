#include "engine/scan/SigbusGuard.h"

#include <signal.h>

#include <mutex>

namespace {

thread_local CSigbusGuard* t_guard = nullptr;
struct sigaction g_previousAction {};
bool g_installed = false;

void Chain(int signal, siginfo_t* info, void* context) {
    if ((g_previousAction.sa_flags & SA_SIGINFO) && g_previousAction.sa_sigaction) {
        g_previousAction.sa_sigaction(signal, info, context);
    } else if (g_previousAction.sa_handler != SIG_DFL && g_previousAction.sa_handler != SIG_IGN) {
        g_previousAction.sa_handler(signal);
    } else {
        // Returning re-runs the faulting access, which now meets the default action.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(SIGBUS, &fallback, nullptr);
    }
}

void Handler(int signal, siginfo_t* info, void* context);

void Install() {
    struct sigaction action {};
    action.sa_sigaction = Handler;
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    g_installed = sigaction(SIGBUS, &action, &g_previousAction) == 0;
}

}  // namespace

void OnGuardedSigbus(int signal, void* siginfo) {
    (void)signal;
    auto* info = static_cast<siginfo_t*>(siginfo);
    CSigbusGuard* guard = t_guard;
    const char* address = static_cast<const char*>(info->si_addr);
    if (guard && address >= guard->m_begin && address < guard->m_end) siglongjmp(guard->m_jump, 1);
}

namespace {

void Handler(int signal, siginfo_t* info, void* context) {
    OnGuardedSigbus(signal, info);
    Chain(signal, info, context);
}

}  // namespace

CSigbusGuard::CSigbusGuard(const void* begin, std::size_t length)
    : m_begin(static_cast<const char*>(begin)),
      m_end(static_cast<const char*>(begin) + length),
      m_previous(t_guard) {
    static std::once_flag once;
    std::call_once(once, Install);
    t_guard = this;
}

CSigbusGuard::~CSigbusGuard() { t_guard = m_previous; }

bool CSigbusGuard::IsInstalled() { return g_installed; }

#include "platform/timing.h"

#include <windows.h>

#include <atomic>

namespace platform {

namespace {
std::atomic<unsigned> g_divisor{1};
std::atomic<PauseHook> g_hook{nullptr};
}  // namespace

unsigned ScaledDuration(unsigned ms) { return ms / (g_divisor.load() ? g_divisor.load() : 1); }

void Pause(unsigned ms) {
    if (PauseHook hook = g_hook.load()) hook(ms);
    ::Sleep(ScaledDuration(ms));
}

void SetPauseHook(PauseHook hook) { g_hook.store(hook); }

void SetPauseDivisor(unsigned divisor) { g_divisor.store(divisor ? divisor : 1); }

unsigned long long ScaledTickCount() { return ::GetTickCount64() * g_divisor.load(); }

}  // namespace platform

// The two logging switches. Receiver threads read them after every message while EnableLogging
// may write them from another thread: atomics, no lock.
#include <atomic>

#include "foundation/logging.h"
#include "tkv/diagnostics.h"

namespace {

std::atomic<bool> g_loggingOn{false};
std::atomic<bool> g_textMode{false};

}  // namespace

namespace TKV {

namespace detail {

bool IsLoggingOn() {
    return g_loggingOn.load(std::memory_order_acquire);
}

bool IsTextLogging() {
    return g_textMode.load(std::memory_order_acquire);
}

}  // namespace detail

void EnableLogging(bool on, int mode) {
    g_textMode.store(mode == 1, std::memory_order_release);
    g_loggingOn.store(on, std::memory_order_release);
}

}  // namespace TKV

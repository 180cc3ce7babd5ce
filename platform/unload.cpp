#include "platform/unload.h"

namespace TKV::platform {
namespace {

constexpr int kMaxUnloadActions = 16;

// Plain data, zero when the module is loaded, so it works at any point of load and unload.
std::atomic<UnloadAction> g_actions[kMaxUnloadActions];
std::atomic<int> g_actionCount;  // slots claimed in g_actions

}  // namespace

bool RegisterUnloadAction(UnloadAction action) {
    const int index = g_actionCount.fetch_add(1);
    if (index >= kMaxUnloadActions) {
        g_actionCount.fetch_sub(1);
        return false;
    }
    g_actions[index].store(action, std::memory_order_release);
    return true;
}

void RunUnloadActions() {
    const int count = g_actionCount.exchange(0);
    for (int i = 0; i < count && i < kMaxUnloadActions; ++i) {
        if (UnloadAction action = g_actions[i].exchange(nullptr, std::memory_order_acq_rel))
            action();
    }
}

}  // namespace TKV::platform

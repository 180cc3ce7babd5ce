// Thread slots on POSIX thread-specific data: the key's destructor runs the clean-up at thread
// end, and a deleted key runs nothing, so nothing of the library is called after an unload.
#include <pthread.h>

#include "platform/thread_slot.h"

namespace TKV::platform::detail {
namespace {

pthread_key_t KeyOf(unsigned long key) {
    return static_cast<pthread_key_t>(key - 1);
}

}  // namespace

unsigned long NewSystemSlot(ThreadSlot::Cleanup cleanup) {
    pthread_key_t key;
    return pthread_key_create(&key, cleanup) == 0 ? key + 1ul : 0;
}

void DeleteSystemSlot(unsigned long key, ThreadSlot::Cleanup cleanup) {
    void* value = pthread_getspecific(KeyOf(key));
    pthread_key_delete(KeyOf(key));
    if (value != nullptr)
        cleanup(value);
}

void* SystemSlotValue(unsigned long key) {
    return pthread_getspecific(KeyOf(key));
}

bool SetSystemSlotValue(unsigned long key, void* value, ThreadSlot::Cleanup) {
    return pthread_setspecific(KeyOf(key), value) == 0;
}

}  // namespace TKV::platform::detail

// The system's address waits (Windows 8 and later), which the portable calls are named after.
#include "platform/address_wait.h"

#include "tkv/winapi.h"

namespace TKV::platform {

void WaitOnAddress(std::atomic<unsigned int>& word, unsigned int expected) {
    static_assert(sizeof(std::atomic<unsigned int>) == sizeof(unsigned int));
    ::WaitOnAddress(&word, &expected, sizeof expected, INFINITE);
}

void WakeByAddressSingle(std::atomic<unsigned int>& word) {
    ::WakeByAddressSingle(&word);
}

}  // namespace TKV::platform

// Waiting on a 32-bit word until another thread changes it, for the library's own locks: the
// blocking half of a lock whose fast path is an atomic compare-exchange.
//
//   void WaitOnAddress(std::atomic<unsigned int>& word, unsigned int expected);
//       returns once word may differ from expected; may also return spuriously
//   void WakeByAddressSingle(std::atomic<unsigned int>& word);
//       wakes one thread waiting on word
#ifndef TKV_PLATFORM_ADDRESS_WAIT_H
#define TKV_PLATFORM_ADDRESS_WAIT_H

#include <atomic>

namespace TKV::platform {

void WaitOnAddress(std::atomic<unsigned int>& word, unsigned int expected);
void WakeByAddressSingle(std::atomic<unsigned int>& word);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_ADDRESS_WAIT_H

// Thread ids for the POSIX layer.
#ifndef TKV_PLATFORM_POSIX_CURRENT_THREAD_H
#define TKV_PLATFORM_POSIX_CURRENT_THREAD_H

#include "tkv/winapi.h"

namespace TKV {
namespace detail {

// A fresh thread id, never 0 and unique among the ids handed out in this process.
DWORD NewThreadId();
// Makes `id` the calling thread's id; called first thing on a thread made by CreateThread.
void AdoptThreadId(DWORD id);

}  // namespace detail
}  // namespace TKV

#endif  // TKV_PLATFORM_POSIX_CURRENT_THREAD_H

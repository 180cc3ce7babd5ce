// Counts the process's heap calls by standing in for malloc, calloc and realloc; built only
// without sanitizers, whose allocators cannot be stood in for this way.
#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "tkv/diagnostics.h"
#include "tkv/string_functions.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
}

namespace {
thread_local long t_heapCalls = 0;
}  // namespace

extern "C" void* malloc(size_t size) {
    ++t_heapCalls;
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    ++t_heapCalls;
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
    ++t_heapCalls;
    return __libc_realloc(block, size);
}

TEST(WideFormatting, RepeatedLongTextAllocatesNothingOnceWarm) {
    const std::wstring text(700, L'w');
    // Every ring slot and the measuring buffer get their size in the first round.
    for (int i = 0; i < 300; ++i) {
        ASSERT_NE(TKV::StrFormat(L"%s %d", text.c_str(), i), nullptr);
        TKVTrace(L"%s %d", text.c_str(), i);
    }
    const long before = t_heapCalls;
    for (int i = 0; i < 300; ++i) {
        TKV::StrFormat(L"%s %d", text.c_str(), i);
        TKVTrace(L"%s %d", text.c_str(), i);
    }
    EXPECT_EQ(t_heapCalls - before, 0);
}

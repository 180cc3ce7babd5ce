#include <gtest/gtest.h>

#include <string>

#include "tkv/environment.h"
#include "tkv/winapi.h"

using namespace TKV;

TEST(FileExists, FilesAndDirectoriesButNotNullOrEmpty) {
    EXPECT_TRUE(FileExists(L"/tmp"));
    EXPECT_TRUE(FileExists(L"/proc/self/exe"));
    EXPECT_FALSE(FileExists(L"/tmp/tkv-surely-missing/x"));
    EXPECT_FALSE(FileExists(nullptr));
    EXPECT_FALSE(FileExists(L""));
}

TEST(TKVUrlUnescape, ReplacesEscapesAndCopiesTheRest) {
    EXPECT_STREQ(TKVUrlUnescape(L"a%20b"), L"a b");
    EXPECT_STREQ(TKVUrlUnescape(L"%41%2f%7E"), L"A/~");
    EXPECT_STREQ(TKVUrlUnescape(L"plain?q=1#x"), L"plain?q=1#x");
    EXPECT_STREQ(TKVUrlUnescape(L"100%"), L"100%");
    EXPECT_STREQ(TKVUrlUnescape(L"%zz%4"), L"%zz%4");
    EXPECT_EQ(TKVUrlUnescape(L""), nullptr);
    EXPECT_EQ(TKVUrlUnescape(nullptr), nullptr);
}

TEST(IsEventSignalled, ResetsAnAutoResetEventAndRefusesNull) {
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_TRUE(IsEventSignalled(event));
    EXPECT_FALSE(IsEventSignalled(event));
    CloseHandle(event);
    EXPECT_FALSE(IsEventSignalled(nullptr));
    EXPECT_TRUE(IsEventSignalled(event));  // a failed wait counts as signalled
}

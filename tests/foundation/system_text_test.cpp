#include <string>

#include <gtest/gtest.h>

#include "host.h"

#include "tkv/system_text.h"

using namespace TKV;

TEST(ErrorMessage, GivesTheSystemSentenceWithItsLineBreakOrEmptyWhenUnknown) {
    EXPECT_SYSTEM_TEXT(TKVGetErrorMessageA(ERROR_ACCESS_DENIED), "Access is denied.\r\n");
    EXPECT_SYSTEM_TEXT(TKVGetErrorMessageW(10061),
                       L"No connection could be made because the target machine actively "
                       L"refused it.\r\n");
    SetLastError(ERROR_FILE_NOT_FOUND);  // code zero means the thread's last error
    EXPECT_SYSTEM_TEXT(TKVGetErrorMessageW(0), L"The system cannot find the file specified.\r\n");
    EXPECT_STRNE(TKVGetErrorMessageW(0), TKVGetErrorMessageW(ERROR_ACCESS_DENIED));
    const char* unknown = TKVGetErrorMessageA(0x7654321);
    ASSERT_NE(unknown, nullptr);
    EXPECT_STREQ(unknown, "");
}

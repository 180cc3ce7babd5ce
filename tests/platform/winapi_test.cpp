#include <gtest/gtest.h>

#include "tkv/winapi.h"

// Agents store these in their own structures and wire formats, as they do on Windows.
TEST(WindowsTypes, KeepTheirWindowsWidths) {
    EXPECT_EQ(sizeof(BYTE), 1u);
    EXPECT_EQ(sizeof(WORD), 2u);
    EXPECT_EQ(sizeof(BOOL), 4u);
    EXPECT_EQ(sizeof(UINT), 4u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(HRESULT), 4u);
    // The interface writes DWORD results as unsigned long, so thread entries fit CreateThread.
    EXPECT_EQ(sizeof(DWORD), sizeof(unsigned long));
    EXPECT_EQ(sizeof(WCHAR), sizeof(wchar_t));
}

TEST(ComResults, FailuresAreNegative) {
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_FALSE(SUCCEEDED(E_FAIL));
    EXPECT_TRUE(SUCCEEDED(S_OK));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_LT(E_FAIL, 0);
}

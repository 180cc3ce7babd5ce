#include <gtest/gtest.h>

#include <string>

#include "host.h"
#include "tkv/environment.h"
#include "tkv/winapi.h"

using namespace TKV;

TEST(GetEnvironmentVar, ReadsShortLongAndEmptyValues) {
    test::SetVariable("TKV_TEST_SHORT", "value \xC3\xA4");
    test::SetVariable("TKV_TEST_LONG", std::string(3000, 'x').c_str());
    test::SetVariable("TKV_TEST_EDGE", std::string(1024, 'y').c_str());
    test::SetVariable("TKV_TEST_EMPTY", "");
    String value;
    EXPECT_TRUE(GetEnvironmentVar(L"TKV_TEST_SHORT", value));
    EXPECT_EQ(value, L"value \x00E4");
    EXPECT_TRUE(GetEnvironmentVar(L"TKV_TEST_LONG", value));
    EXPECT_EQ(value, std::wstring(3000, L'x').c_str());
    EXPECT_TRUE(GetEnvironmentVar(L"TKV_TEST_EDGE", value));
    EXPECT_EQ(value.GetLength(), 1024u);
    // An earlier failed lookup must not make an existing empty variable look missing.
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    EXPECT_TRUE(GetEnvironmentVar(L"TKV_TEST_EMPTY", value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST(GetEnvironmentVar, MissingVariableLeavesTheStringAlone) {
    test::UnsetVariable("TKV_TEST_MISSING");
    String value(L"kept");
    EXPECT_FALSE(GetEnvironmentVar(L"TKV_TEST_MISSING", value));
    EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
    EXPECT_FALSE(GetEnvironmentVar(nullptr, value));
    EXPECT_FALSE(GetEnvironmentVar(L"", value));
    test::SetVariable("TKV_TEST_A", "1");
    EXPECT_FALSE(GetEnvironmentVar(L"TKV_TEST_A=1", value));
    EXPECT_EQ(value, L"kept");
}

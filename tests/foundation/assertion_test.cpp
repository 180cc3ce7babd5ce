#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tkv/diagnostics.h"

namespace {

std::vector<std::wstring> g_reports;  // "caption|text"

void Record(const wchar_t* caption, const wchar_t* text) {
    g_reports.push_back(std::wstring(caption) + L"|" + text);
}

class Assertion : public ::testing::Test {
  protected:
    void SetUp() override {
        g_reports.clear();
        EXPECT_EQ(TKVSetAssertReporter(Record), nullptr);  // the default was installed
    }
    void TearDown() override { EXPECT_EQ(TKVSetAssertReporter(nullptr), &Record); }
};

}  // namespace

TEST_F(Assertion, ReportsOnlyAFalseConditionCutToFitTheBuffer) {
    TKVAssert(1, L"never", L"a.cpp", 1);
    TKVAssert(0, L"size > 0", L"src/msg.cpp", 42);
    TKVAssert(0, nullptr, nullptr, -3);
    TKVAssert(0, std::wstring(600, L'm').c_str(), L"f", 1);
    TKVAssert(0, std::wstring(510, L'n').c_str(), L"file.cpp", 12345);
    EXPECT_EQ(g_reports,
              (std::vector<std::wstring>{L"Assertion|size > 0\nfile:src/msg.cpp, line:42",
                                         L"Assertion|(null)\nfile:(null), line:-3",
                                         L"Assertion|" + std::wstring(519, L'm'),
                                         L"Assertion|" + std::wstring(510, L'n') + L"\nfile:fil"}));
}

TEST_F(Assertion, DefaultReporterWritesToStandardErrorAndReturns) {
    TKVSetAssertReporter(nullptr);
    ::testing::internal::CaptureStderr();
    TKVAssert(0, L"bad \u00e9", L"x.cpp", 7);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Assertion: bad \xC3\xA9\nfile:x.cpp, line:7\n");
    TKVSetAssertReporter(Record);
}

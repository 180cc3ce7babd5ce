#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tkv/diagnostics.h"

namespace {

struct Report {
    std::wstring caption;
    std::wstring text;
};
std::vector<Report> g_reports;

void Record(const wchar_t* caption, const wchar_t* text) {
    g_reports.push_back({caption, text});
}

class AssertionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_reports.clear();
        previous_ = TKVSetAssertReporter(Record);
    }
    void TearDown() override { TKVSetAssertReporter(previous_); }

    TKVAssertReporter previous_ = nullptr;
};

using Assertion = AssertionTest;

}  // namespace

TEST_F(Assertion, TrueConditionReportsNothing) {
    TKVAssert(1, L"never", L"a.cpp", 1);
    TKVAssert(-7, L"never", L"a.cpp", 2);
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(Assertion, ReportsMessageFileAndLineUnderCaption) {
    TKVAssert(0, L"size > 0", L"src/msg.cpp", 42);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].caption, L"Assertion");
    EXPECT_EQ(g_reports[0].text, L"size > 0\nfile:src/msg.cpp, line:42");
}

TEST_F(Assertion, NullTextsPrintAsNull) {
    TKVAssert(0, nullptr, nullptr, -3);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].text, L"(null)\nfile:(null), line:-3");
}

TEST_F(Assertion, CutsLongTextToFitTheBuffer) {
    std::wstring message(600, L'm');
    TKVAssert(0, message.c_str(), L"f", 1);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].text, std::wstring(519, L'm'));

    g_reports.clear();
    std::wstring nearlyFull(510, L'n');
    TKVAssert(0, nearlyFull.c_str(), L"file.cpp", 12345);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].text, nearlyFull + L"\nfile:fil");
}

TEST_F(Assertion, InstallingReturnsThePreviousReporter) {
    EXPECT_EQ(TKVSetAssertReporter(nullptr), &Record);
    EXPECT_EQ(TKVSetAssertReporter(Record), nullptr);
}

TEST_F(Assertion, DefaultReporterWritesToStandardErrorAndReturns) {
    TKVSetAssertReporter(nullptr);
    ::testing::internal::CaptureStderr();
    TKVAssert(0, L"bad \u00e9", L"x.cpp", 7);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Assertion: bad \xC3\xA9\nfile:x.cpp, line:7\n");
}

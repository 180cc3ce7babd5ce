#include <filesystem>

#include "tests/support/trace_file_fixture.h"
#include "tkv/tmp_string.h"

using TraceLog = TraceFileTest;

TEST_F(TraceLog, WritesUtf16LittleEndianWithCrLfAndSurrogatePairs) {
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    TKVWriteTraceLog(L"A\u00e9\u20ac\none\r\n");  // a carriage return of the text stays
    TKVWriteTraceLog(L"x\U0001F600\U0010FFFF");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), Utf16(u"A\u00e9\u20ac\r\none\r\r\nx\xD83D\xDE00\xDBFF\xDFFF"));
}

TEST_F(TraceLog, WritesOnlyWhileOpenAndReopeningEmptiesTheFile) {
    TKVWriteTraceLog(L"lost");
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    TKVWriteTraceLog(L"old");
    TKVCloseTraceLog();
    TKVWriteTraceLog(L"lost");
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    TKVWriteTraceLog(nullptr);
    TKVWriteTraceLog(L"new");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), Utf16(u"new"));
}

TEST_F(TraceLog, SecondOpenKeepsWritingToFirstFile) {
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    EXPECT_TRUE(TKVOpenTraceLog((widePath_ + L".other").c_str()));
    TKVWriteTraceLog(L"first");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), Utf16(u"first"));
    EXPECT_FALSE(std::filesystem::exists(path_ + ".other"));
}

TEST_F(TraceLog, OpenFailsWhenTheFileCannotBeCreated) {
    EXPECT_FALSE(TKVOpenTraceLog((widePath_ + L".missing/log").c_str()));
    EXPECT_FALSE(TKVOpenTraceLog(nullptr));
}

TEST_F(TraceLog, FlushesAfterEverySixteenthWrite) {
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    auto onDisk = [this] {
        std::error_code error;
        const auto size = std::filesystem::file_size(path_, error);
        return error ? -1 : static_cast<long long>(size);
    };
    // The count runs on from earlier files: write until a flush sets it back to 0.
    for (int writes = 0; onDisk() == 0; ++writes) {
        ASSERT_LT(writes, 16);
        TKVWriteTraceLog(L"s");
    }
    auto flushed = onDisk();
    for (int i = 0; i < 15; ++i) {
        TKVWriteTraceLog(L"w");
    }
    EXPECT_EQ(onDisk(), flushed);
    TKVWriteTraceLog(L"w");
    EXPECT_EQ(onDisk(), flushed + 16 * 2);
}

TEST_F(TraceLog, TraceFormatsWithWideStringsWhateverTheLoggingSwitch) {
    TKVTrace(L"%d", 1);  // closed: nowhere
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    TKVTrace(L"%s=%d, %04X\n", L"k\u00e9y", -12, 0xBEEFu);
    TKVTrace(nullptr);
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), Utf16(u"k\u00e9y=-12, BEEF\r\n"));
}

TEST_F(TraceLog, TraceTakesItsRingSlotEvenWithNoLogOpen) {
    wchar_t* mine = nullptr;
    ASSERT_EQ(TKV::TKVGetTmpString(mine, 4), 1u);
    mine[0] = L'a';
    for (int i = 0; i < 256; ++i) {
        TKVTrace(L"%d", i);
    }
    EXPECT_STREQ(mine, L"255");  // the 256th trace was formatted into this slot
}

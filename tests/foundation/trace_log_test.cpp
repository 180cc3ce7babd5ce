#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "foundation/module_state.h"
#include "trace_file_fixture.h"

using TraceLog = TraceFileTest;

TEST_F(TraceLog, StartsWithByteOrderMarkAndStoresUtf16LittleEndian) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVWriteTraceLog(L"A\u00e9\u20ac");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"A\u00e9\u20ac"));
}

TEST_F(TraceLog, StoresLineFeedAsCarriageReturnLineFeed) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVWriteTraceLog(L"one\ntwo\n");
    TKVWriteTraceLog(L"\r\n");  // a carriage return of the text is kept as it is
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"one\r\ntwo\r\n\r\r\n"));
}

TEST_F(TraceLog, StoresCharactersBeyondSixteenBitsAsSurrogatePairs) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVWriteTraceLog(L"x\U0001F600y\U0010FFFF");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"x\xD83D\xDE00y\xDBFF\xDFFF"));
}

TEST_F(TraceLog, WritesNothingWhileClosedOrForNullText) {
    TKVWriteTraceLog(L"lost");
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVWriteTraceLog(nullptr);
    TKVWriteTraceLog(L"kept");
    TKVCloseTraceLog();
    TKVWriteTraceLog(L"lost too");
    EXPECT_EQ(FileBytes(), WithBom(u"kept"));
}

TEST_F(TraceLog, SecondOpenKeepsWritingToFirstFile) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    std::wstring other = WidePath() + L".other";
    EXPECT_TRUE(TKVOpenTraceLog(other.c_str()));
    TKVWriteTraceLog(L"first");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"first"));
    EXPECT_FALSE(std::filesystem::exists(path_.string() + ".other"));
}

TEST_F(TraceLog, ReopeningEmptiesTheFile) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVWriteTraceLog(L"old");
    TKVCloseTraceLog();
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVWriteTraceLog(L"new");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"new"));
}

TEST_F(TraceLog, OpenFailsWhenTheFileCannotBeCreated) {
    std::wstring bad = WidePath() + L".missing/dir/log";
    EXPECT_FALSE(TKVOpenTraceLog(bad.c_str()));
    EXPECT_FALSE(TKVOpenTraceLog(nullptr));
    TKVWriteTraceLog(L"nowhere");  // silently skipped
    EXPECT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
}

TEST_F(TraceLog, FlushesAfterEverySixteenthWrite) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    auto sizeOnDisk = [this] {
        struct stat info {};
        return ::stat(path_.c_str(), &info) == 0 ? info.st_size : -1;
    };
    // The write count runs on from earlier files: find the flush that sets it back to 0.
    int writes = 0;
    while (sizeOnDisk() == 0) {
        ASSERT_LT(writes++, 16);
        TKVWriteTraceLog(L"s");
    }
    auto flushed = sizeOnDisk();
    for (int i = 0; i < 15; ++i) {
        TKVWriteTraceLog(L"w");
    }
    EXPECT_EQ(sizeOnDisk(), flushed);
    TKVWriteTraceLog(L"w");
    EXPECT_EQ(sizeOnDisk(), flushed + 16 * 2);
}

TEST_F(TraceLog, LinesOfConcurrentWritersStayWhole) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            std::wstring line(200, static_cast<wchar_t>(L'a' + t));
            line += L'\n';
            for (int i = 0; i < kLines; ++i) {
                TKVWriteTraceLog(line.c_str());
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    TKVCloseTraceLog();

    std::string bytes = FileBytes();
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::string text;  // the ASCII code units, low bytes only
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        ASSERT_EQ(bytes[i + 1], '\0');
        text += bytes[i];
    }
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        ASSERT_EQ(line.size(), 201u);  // 200 letters and the CR
        EXPECT_EQ(std::count(line.begin(), line.end(), line[0]), 200);
        EXPECT_EQ(line.back(), '\r');
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST_F(TraceLog, TraceFormatsWideStringsAndNumbers) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVTrace(L"%s=%d, %04X\n", L"k\u00e9y", -12, 0xBEEFu);
    TKVTrace(L"plain");
    TKVTrace(nullptr);
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"k\u00e9y=-12, BEEF\r\nplain"));
}

TEST_F(TraceLog, TraceWritesNothingWhileClosed) {
    TKVTrace(L"%d", 1);
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u""));
}

TEST_F(TraceLog, ModuleUnloadClosesTheOpenLog) {
    // In a child process, so that the unload's release of the rings does not touch this one.
    // _exit skips the C library's own flushing: only the close at unload puts the text on disk.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool opened = TKVOpenTraceLog(WidePath().c_str());
        TKVWriteTraceLog(L"unload");
        TKV::detail::ReleaseModuleState();
        ::_exit(opened ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FileBytes(), WithBom(u"unload"));
}

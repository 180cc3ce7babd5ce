#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "trace_file_fixture.h"

namespace {

class LogDump : public TraceFileTest {
  protected:
    void SetUp() override {
        TraceFileTest::SetUp();
        ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
        TKV::EnableLogging(true, 0);
    }
    // Closes the log and returns what it holds after the byte-order mark.
    std::string Logged() {
        TKVCloseTraceLog();
        std::string bytes = FileBytes();
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
        return bytes.size() < 2 ? bytes : bytes.substr(2);
    }
};

const unsigned char kBytes[] = {0x00, 0x0F, 0x10, 0xFF};

}  // namespace

TEST_F(LogDump, HexLineHasHeaderSpaceUpperCaseDigitsAndLineEnd) {
    TKV::LogHex(L"recv:", kBytes, 4);
    EXPECT_EQ(Logged(), Utf16(u"recv: 000F10FF\r\n"));
}

TEST_F(LogDump, HexLineWithoutHeaderHasNoLeadingSpace) {
    const unsigned char ab[] = {0x41, 0x42};
    TKV::LogHex(nullptr, ab, 2);
    TKV::LogHex(L"", ab, 2);
    EXPECT_EQ(Logged(), Utf16(u"4142\r\n4142\r\n"));
}

TEST_F(LogDump, EmptyDataGivesHeaderSpaceAndLineEnd) {
    TKV::LogHex(L"recv:", kBytes, 0);
    TKV::LogHex(nullptr, nullptr, 0);
    EXPECT_EQ(Logged(), Utf16(u"recv: \r\n\r\n"));
}

TEST_F(LogDump, ReusedLineBufferCarriesNoStaleDigits) {
    std::vector<unsigned char> big(300, 0xAB);
    TKV::LogHex(L"big", big.data(), static_cast<unsigned long>(big.size()));
    TKV::LogHex(L"x", kBytes, 1);
    std::u16string expected = u"big " + std::u16string(600, u'A');
    for (size_t i = 4; i < expected.size(); i += 2) {
        expected[i + 1] = u'B';
    }
    EXPECT_EQ(Logged(), Utf16(expected + u"\r\nx 00\r\n"));
}

TEST_F(LogDump, AbsurdLengthIsSkipped) {
    TKV::LogHex(L"h", kBytes, ULONG_MAX);
    TKV::LogHex(L"h", kBytes, ULONG_MAX / 2);
    TKV::LogHex(L"ok", kBytes, 1);
    EXPECT_EQ(Logged(), Utf16(u"ok 00\r\n"));
}

TEST_F(LogDump, TextIsWrittenAsItIsWithoutLineEnd) {
    TKV::LogTextA("caf\xC3\xA9 ");  // UTF-8: the accented letter becomes one code unit
    TKV::LogTextW(L"wide\n");
    TKV::LogTextA("");
    TKV::LogTextA(nullptr);
    TKV::LogTextW(L"");
    TKV::LogTextW(nullptr);
    EXPECT_EQ(Logged(), Utf16(u"caf\u00e9 wide\r\n"));
}

TEST_F(LogDump, NothingIsDumpedWhileLoggingIsOff) {
    TKV::EnableLogging(false, 1);
    TKV::LogHex(L"recv:", kBytes, 4);
    TKV::LogTextA("text");
    TKV::LogTextW(L"text");
    TKVWriteTraceLog(L"trace still writes");
    EXPECT_EQ(Logged(), Utf16(u"trace still writes"));
}

TEST_F(LogDump, DumpsOfConcurrentThreadsNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::vector<unsigned char> data(64 + t * 16, static_cast<unsigned char>(0x11 * t));
            for (int i = 0; i < kLines; ++i) {
                TKV::LogHex(L"t", data.data(), static_cast<unsigned long>(data.size()));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::string bytes = Logged();
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += bytes[i];
    }
    int lines = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(start, end - start);
        ASSERT_GE(line.size(), 4u);
        ASSERT_EQ(line.substr(0, 2), "t ");
        int t = line[2] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(line, "t " + std::string((64 + t * 16) * 2, static_cast<char>('0' + t)));
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, kThreads * kLines);
}

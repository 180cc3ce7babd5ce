#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/trace_file_fixture.h"

namespace {

class LogDump : public TraceFileTest {
  protected:
    void SetUp() override {
        TraceFileTest::SetUp();
        ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
        TKV::EnableLogging(true, 0);
    }
    std::string Logged() {
        TKVCloseTraceLog();
        return FileBytes();
    }
};

const unsigned char kBytes[] = {0x00, 0x0F, 0x10, 0xFF};

}  // namespace

// A long line first, so the shorter ones after it show any stale digits of the reused line.
TEST_F(LogDump, HexLineIsHeaderSpaceDigitsAndLineEndAndAbsurdLengthsAreSkipped) {
    std::vector<unsigned char> big(300, 0xAB);
    TKV::LogHex(L"big", big.data(), static_cast<unsigned long>(big.size()));
    // Lengths whose line could not even be sized are skipped; where unsigned long is narrower
    // than a pointer (64-bit Windows) every length can be, and a bad one is the caller's.
    if (sizeof(unsigned long) >= sizeof(size_t)) {
        TKV::LogHex(L"h", kBytes, ULONG_MAX);
        TKV::LogHex(L"h", kBytes, ULONG_MAX / 2);
    }
    TKV::LogHex(L"recv:", kBytes, 4);
    TKV::LogHex(nullptr, kBytes + 1, 2);  // no header: no leading space
    TKV::LogHex(L"", kBytes + 1, 2);
    TKV::LogHex(L"recv:", kBytes, 0);
    std::u16string digits;
    for (int i = 0; i < 300; ++i) {
        digits += u"AB";
    }
    EXPECT_EQ(Logged(),
              Utf16(u"big " + digits + u"\r\nrecv: 000F10FF\r\n0F10\r\n0F10\r\nrecv: \r\n"));
}

// Text as it is, without line end; then nothing is dumped while logging is off.
TEST_F(LogDump, TextIsWrittenAsItIsAndNothingWhileLoggingIsOff) {
    TKV::LogTextA("caf\xC3\xA9 ");  // UTF-8: the accented letter becomes one code unit
    TKV::LogTextW(L"wide\n");
    TKV::LogTextA("");
    TKV::LogTextW(nullptr);
    TKV::EnableLogging(false, 1);
    TKV::LogHex(L"recv:", kBytes, 4);
    TKV::LogTextA("text");
    TKV::LogTextW(L"text");
    TKVWriteTraceLog(L"trace");
    EXPECT_EQ(Logged(), Utf16(u"caf\u00e9 wide\r\ntrace"));
}

TEST_F(LogDump, LinesOfConcurrentThreadsStayWhole) {
    constexpr int kThreads = 4, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::vector<unsigned char> data(64 + t * 16, static_cast<unsigned char>(0x11 * t));
            std::wstring line = L"t " + std::wstring(data.size() * 2, L'0' + t) + L"\n";
            for (int i = 0; i < kLines; ++i) {
                if (t % 2 == 0) {  // the dumps under their lock, the free-form writes without
                    TKV::LogHex(L"t", data.data(), static_cast<unsigned long>(data.size()));
                } else {
                    TKVWriteTraceLog(line.c_str());
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::string bytes = Logged(), text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += bytes[i];
    }
    int lines = 0;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2, ++lines) {
        std::string line = text.substr(start, end - start);
        int t = line.size() > 2 ? line[2] - '0' : -1;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        ASSERT_EQ(line, "t " + std::string((64 + t * 16) * 2, static_cast<char>('0' + t)));
    }
    EXPECT_EQ(lines, kThreads * kLines);
}

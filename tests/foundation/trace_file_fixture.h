// A fixture for tests that write the trace log: a fresh file path per test, the log closed and
// the file removed afterwards, and the file's bytes as UTF-16LE expectations.
#ifndef TKV_TESTS_FOUNDATION_TRACE_FILE_FIXTURE_H
#define TKV_TESTS_FOUNDATION_TRACE_FILE_FIXTURE_H

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "tkv/diagnostics.h"

class TraceFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int serial = 0;
        path_ =
            std::filesystem::temp_directory_path() /
            ("tkv_trace_" + std::to_string(::getpid()) + "_" + std::to_string(++serial) + ".log");
        TKV::EnableLogging(false, 0);
        TKVCloseTraceLog();
    }
    void TearDown() override {
        TKVCloseTraceLog();
        TKV::EnableLogging(false, 0);
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    std::wstring WidePath() const { return Widen(path_.string()); }

    static std::wstring Widen(const std::string& ascii) {
        return std::wstring(ascii.begin(), ascii.end());
    }

    // The file's bytes as they are on disk now.
    std::string FileBytes() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // UTF-16LE bytes of the code units, as the file should hold them.
    static std::string Utf16(const std::u16string& units) {
        std::string bytes;
        for (char16_t unit : units) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    }

    // The byte-order mark followed by the code units.
    static std::string WithBom(const std::u16string& units) { return "\xFF\xFE" + Utf16(units); }

    std::filesystem::path path_;
};

#endif  // TKV_TESTS_FOUNDATION_TRACE_FILE_FIXTURE_H

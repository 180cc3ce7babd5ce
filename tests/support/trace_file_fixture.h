// A fixture for tests that write the trace log: a fresh file per test, logging off and the log
// closed around each test, and the file's bytes against UTF-16LE expectations.
#ifndef TKV_TESTS_SUPPORT_TRACE_FILE_FIXTURE_H
#define TKV_TESTS_SUPPORT_TRACE_FILE_FIXTURE_H

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
        std::string name =
            "tkv_trace_" + std::to_string(::getpid()) + "_" + std::to_string(++serial) + ".log";
        path_ = (std::filesystem::temp_directory_path() / name).string();
        widePath_.assign(path_.begin(), path_.end());
        TKVCloseTraceLog();
    }
    void TearDown() override {
        TKVCloseTraceLog();
        TKV::EnableLogging(false, 0);
        std::remove(path_.c_str());
    }

    std::string FileBytes() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The byte-order mark and the code units, as the file should hold them.
    static std::string Utf16(const std::u16string& units) {
        std::string bytes = "\xFF\xFE";
        for (char16_t unit : units) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    }

    std::string path_;
    std::wstring widePath_;
};

#endif  // TKV_TESTS_SUPPORT_TRACE_FILE_FIXTURE_H

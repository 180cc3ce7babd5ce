// Temporary files with given bytes, removed with the object.
#ifndef TKV_TESTS_SUPPORT_TEMP_FILE_H
#define TKV_TESTS_SUPPORT_TEMP_FILE_H

#include <stdlib.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

class TempFile {
  public:
    explicit TempFile(const std::string& bytes) {
        char name[] = "/tmp/tkv_text_XXXXXX";
        std::FILE* f = fdopen(mkstemp(name), "wb");
        path_ = name;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    std::FILE* Open() const { return std::fopen(path_.c_str(), "r"); }
    std::wstring WidePath() const { return std::wstring(path_.begin(), path_.end()); }

  private:
    std::string path_;
};

#endif  // TKV_TESTS_SUPPORT_TEMP_FILE_H

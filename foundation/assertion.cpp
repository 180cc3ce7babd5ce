// TKVAssert: formats the assertion text and hands it to the reporter, which stands in for the
// Windows message box; the program always continues.
#include <atomic>
#include <cstdio>
#include <cwchar>

#include "platform/message_box.h"
#include "tkv/diagnostics.h"

namespace {

constexpr size_t kAssertBufferChars = 520;

// Null means the platform's default report on the standard error stream.
std::atomic<TKVAssertReporter> g_reporter{nullptr};

// Appends text to buffer[used..], cutting it at the buffer's last character; the buffer stays
// terminated.
void Append(wchar_t* buffer, size_t& used, const wchar_t* text) {
    if (text == nullptr) {
        text = L"(null)";  // what the wide formatter prints for a null string
    }
    while (*text != L'\0' && used + 1 < kAssertBufferChars) {
        buffer[used++] = *text++;
    }
    buffer[used] = L'\0';
}

}  // namespace

void TKVAssert(int condition, const wchar_t* message, const wchar_t* file, int line) {
    if (condition != 0) {
        return;
    }
    // On the stack, so threads asserting at once keep their own text; a thread-local buffer of
    // this size would keep the library from being loaded at run time.
    wchar_t buffer[kAssertBufferChars];
    wchar_t number[16];
    std::swprintf(number, sizeof number / sizeof number[0], L"%d", line);
    size_t used = 0;
    buffer[0] = L'\0';
    Append(buffer, used, message);
    Append(buffer, used, L"\nfile:");
    Append(buffer, used, file);
    Append(buffer, used, L", line:");
    Append(buffer, used, number);

    TKVAssertReporter reporter = g_reporter.load(std::memory_order_acquire);
    if (reporter != nullptr) {
        reporter(L"Assertion", buffer);
    } else {
        TKV::platform::ShowMessageBox(L"Assertion", buffer);
    }
}

TKVAssertReporter TKVSetAssertReporter(TKVAssertReporter reporter) {
    return g_reporter.exchange(reporter, std::memory_order_acq_rel);
}

// Temporary strings filled from the system: error texts and string resources.
#include "platform/system_text.h"
#include "foundation/tmp_string.h"
#include "tkv/system_text.h"
#include "tkv/tmp_string.h"

namespace TKV {
namespace {

constexpr unsigned int kErrorTextChars = 1024;

template <typename CharT>
DWORD FormatSystemMessage(DWORD code, CharT* buffer, DWORD size) {
    constexpr DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
    if constexpr (sizeof(CharT) == 1)
        return FormatMessageA(flags, nullptr, code, language, buffer, size, nullptr);
    else
        return FormatMessageW(flags, nullptr, code, language, buffer, size, nullptr);
}

template <typename CharT>
const CharT* ErrorMessage(unsigned long code) {
    if (code == 0)
        code = GetLastError();
    detail::TmpRing& ring = detail::RingOf<CharT>();
    auto* text = static_cast<CharT*>(
        detail::EnsureTmpSlot(ring, detail::SelectSlot(ring), kErrorTextChars, sizeof(CharT)));
    if (text == nullptr)
        return nullptr;  // the heap refused even 1024 characters
    text[0] = CharT(0);
    if (FormatSystemMessage(static_cast<DWORD>(code), text, kErrorTextChars) == 0)
        text[0] = CharT(0);  // no text for the code: empty, never null
    return text;
}

}  // namespace

const char* TKVGetErrorMessageA(unsigned long code) {
    return ErrorMessage<char>(code);
}

const wchar_t* TKVGetErrorMessageW(unsigned long code) {
    return ErrorMessage<wchar_t>(code);
}

const wchar_t* TKVLoadResourceStringW(HINSTANCE module, unsigned int id) {
    // Ids are 16-bit in a string table; anything larger names no block.
    if (id > 0xFFFF)
        return nullptr;
    HRSRC block =
        FindResourceW(module, MAKEINTRESOURCEW(static_cast<WORD>(id / 16 + 1)), RT_STRING);
    if (block == nullptr)
        return nullptr;
    const DWORD size = SizeofResource(module, block);
    const unsigned long long count = static_cast<unsigned long long>(size) + 2;
    if (count > detail::kMaxTmpChars)
        return nullptr;
    wchar_t* text = nullptr;
    if (TKVGetTmpString(text, static_cast<unsigned int>(count)) == 0)
        return nullptr;
    if (LoadStringW(module, id, text, static_cast<int>(count / 2)) > 0)
        return text;
    return nullptr;
}

}  // namespace TKV

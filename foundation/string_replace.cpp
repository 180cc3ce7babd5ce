// Replacement of every occurrence of a character in place, or of a text by another into a new
// heap string.
#include "foundation/string_traits.h"
#include "tkv/heap.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

constexpr size_t kGrowStep = 256;

// The result buffer: a library heap block of capacity characters, grown in steps of at least
// kGrowStep. Releases the block unless it is handed over.
template <typename CharT>
class ResultBuffer {
  public:
    explicit ResultBuffer(size_t capacity) : m_capacity(capacity) {
        if (Fits(capacity))
            m_data =
                static_cast<CharT*>(MemAlloc(static_cast<unsigned int>(capacity * sizeof(CharT))));
    }
    ~ResultBuffer() { MemFree(m_data); }
    ResultBuffer(const ResultBuffer&) = delete;
    ResultBuffer& operator=(const ResultBuffer&) = delete;

    bool Valid() const { return m_data != nullptr; }
    size_t Capacity() const { return m_capacity; }
    CharT* Data() { return m_data; }

    bool Grow(size_t capacity) {
        if (!Fits(capacity))
            return false;
        void* grown = MemRealloc(m_data, static_cast<unsigned int>(capacity * sizeof(CharT)));
        if (grown == nullptr)
            return false;
        m_data = static_cast<CharT*>(grown);
        m_capacity = capacity;
        return true;
    }

    CharT* Release() {
        CharT* data = m_data;
        m_data = nullptr;
        return data;
    }

  private:
    static bool Fits(size_t capacity) { return capacity <= 0xFFFFFFFFu / sizeof(CharT); }

    CharT* m_data = nullptr;
    size_t m_capacity;
};

template <typename CharT>
const CharT* Replace(const CharT* text, const CharT* oldText, const CharT* newText) {
    using detail::IsAbsent;
    if (IsAbsent(text) || IsAbsent(newText) || IsAbsent(oldText) || *oldText == CharT(0))
        return nullptr;
    const size_t f = detail::Length(oldText);
    const size_t r = detail::Length(newText);
    ResultBuffer<CharT> out(f);
    if (!out.Valid())
        return nullptr;
    size_t w = 0;
    const CharT* p = text;
    while (*p != CharT(0)) {
        // Characters up to the next occurrence are copied as a run; the capacity ends where a
        // character-by-character copy with its 256-step growth would have left it.
        const CharT* hit = detail::FindPart(p, oldText);
        const size_t run = hit != nullptr ? static_cast<size_t>(hit - p) : detail::Length(p);
        if (run > 0) {
            size_t k = out.Capacity();
            if (k <= w + run)
                k += ((w + run - k) / kGrowStep + 1) * kGrowStep;
            if (k != out.Capacity() && !out.Grow(k))
                return nullptr;
            std::memcpy(out.Data() + w, p, run * sizeof(CharT));
            w += run;
            p += run;
        }
        if (hit == nullptr)
            break;
        size_t k = out.Capacity();
        if (k <= w + 1 + r) {
            k += ((w + 1 + r - k) / kGrowStep) * kGrowStep + kGrowStep;
            if (!out.Grow(k))
                return nullptr;
        }
        std::memcpy(out.Data() + w, newText, r * sizeof(CharT));
        w += r;
        p += f;
    }
    out.Data()[w] = CharT(0);
    return out.Release();
}

template <typename CharT>
unsigned int ReplaceChar(CharT* text, CharT oldChar, CharT newChar) {
    if (detail::IsAbsent(text) || *text == CharT(0))
        return 0;
    // Measured first: a NUL written as the new character must not end the scan.
    const size_t n = detail::Length(text);
    unsigned int count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == oldChar) {
            text[i] = newChar;
            ++count;
        }
    }
    return count;
}

}  // namespace

const char* StrReplace(const char* text, const char* oldText, const char* newText) {
    return Replace(text, oldText, newText);
}

const wchar_t* StrReplace(const wchar_t* text, const wchar_t* oldText, const wchar_t* newText) {
    return Replace(text, oldText, newText);
}

unsigned int StrReplace(char* text, char oldChar, char newChar) {
    return ReplaceChar(text, oldChar, newChar);
}
unsigned int StrReplace(wchar_t* text, wchar_t oldChar, wchar_t newChar) {
    return ReplaceChar(text, oldChar, newChar);
}

}  // namespace TKV

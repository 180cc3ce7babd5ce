// String: searching, replacing, trimming, sub-strings and tokenising.
#include <cwchar>
#include <memory>

#include "foundation/string_traits.h"
#include "tkv/heap.h"
#include "tkv/string.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

bool HasText(const wchar_t* text) {
    return !detail::IsAbsent(text) && *text != 0;
}

// Whether `pos` lies inside the text: the text ends within the capacity, so only the first
// pos + 1 characters are read.
bool Inside(const wchar_t* buffer, unsigned int capacity, long long pos) {
    return buffer != nullptr && pos >= 0 && pos < capacity &&
           detail::LengthUpTo(buffer, static_cast<size_t>(pos) + 1) > static_cast<size_t>(pos);
}

// The first occurrence of the non-empty `part` in `text`, in one pass over `text`: the scan
// stops as soon as the text runs out, so the length is never counted first.
const wchar_t* Search(const wchar_t* text, const wchar_t* part) {
    const wchar_t first = part[0];
    const wchar_t* rest = part + 1;
    for (const wchar_t* p = text; (p = std::wcschr(p, first)) != nullptr; ++p) {
        size_t i = 0;
        while (rest[i] != 0 && p[1 + i] == rest[i]) {
            ++i;
        }
        if (rest[i] == 0) {
            return p;
        }
        if (p[1 + i] == 0) {
            return nullptr;  // too few characters left for any later occurrence
        }
    }
    return nullptr;
}

bool InSet(const wchar_t* set, wchar_t c) {
    return c != 0 && std::wcschr(set, c) != nullptr;
}

struct HeapFree {
    void operator()(wchar_t* p) const { MemFree(p); }
};

}  // namespace

unsigned int String::Find(const wchar_t* text, unsigned int start) const {
    if (!Inside(m_buffer, m_capacity, start)) {
        return npos;
    }
    if (!HasText(text)) {
        return GetLength();
    }
    const wchar_t* hit = Search(m_buffer + start, text);
    return hit != nullptr ? static_cast<unsigned int>(hit - m_buffer) : npos;
}

unsigned int String::Find(wchar_t c, unsigned int start) const {
    if (c == 0 || !Inside(m_buffer, m_capacity, start)) {
        return npos;
    }
    const wchar_t* hit = std::wcschr(m_buffer + start, c);
    return hit != nullptr ? static_cast<unsigned int>(hit - m_buffer) : npos;
}

unsigned int String::RFind(const wchar_t* text, unsigned int fromEnd) const {
    const unsigned int length = GetLength();
    if (m_buffer == nullptr || fromEnd >= length) {
        return npos;
    }
    if (!HasText(text)) {
        return fromEnd > 0 ? length : npos;
    }
    const size_t n = std::wcslen(text);
    if (n > length) {
        return npos;
    }
    // An occurrence may reach past the starting position, up to the end.
    size_t pos = length - fromEnd;
    if (pos > length - n) {
        pos = length - n;
    }
    for (size_t i = pos + 1; i-- > 0;) {
        if (m_buffer[i] == text[0] && std::wmemcmp(m_buffer + i, text, n) == 0) {
            return static_cast<unsigned int>(i);
        }
    }
    return npos;
}

unsigned int String::RFind(wchar_t c, unsigned int fromEnd) const {
    const unsigned int length = GetLength();
    if (m_buffer == nullptr || c == 0 || fromEnd >= length) {
        return npos;
    }
    for (size_t i = length - fromEnd + 1; i-- > 0;) {
        if (m_buffer[i] == c) {
            return static_cast<unsigned int>(i);
        }
    }
    return npos;
}

bool String::Contains(const wchar_t* text) const {
    if (!HasText(text)) {
        return !IsEmpty();
    }
    return Find(text, 0) != npos;
}

bool String::Beginswith(const wchar_t* text) const {
    return HasText(text) && !IsEmpty() && detail::StartsWith(m_buffer, text, std::wcslen(text));
}

int String::CountOf(wchar_t c) const {
    int count = 0;
    for (const wchar_t* p = m_buffer; c != 0 && p != nullptr && (p = std::wcschr(p, c)); ++p) {
        ++count;
    }
    return count;
}

unsigned int String::Replace(const wchar_t* oldText, const wchar_t* newText) {
    const unsigned int length = GetLength();
    if (!HasText(oldText) || detail::IsAbsent(newText) || Find(oldText, 0) == npos) {
        return length;
    }
    const size_t oldLength = std::wcslen(oldText);
    const size_t newLength = std::wcslen(newText);
    // The result is built on the library's heap, growing geometrically as occurrences come.
    size_t room = static_cast<size_t>(length) + 256;
    if (room * sizeof(wchar_t) > 0xFFFFFFFFu) {
        return length;  // the library heap takes 32-bit sizes: the first block would be cut short
    }
    std::unique_ptr<wchar_t, HeapFree> result(
        static_cast<wchar_t*>(MemAlloc(static_cast<unsigned int>(room * sizeof(wchar_t)))));
    size_t used = 0;
    const wchar_t* from = m_buffer;
    while (result != nullptr) {
        const wchar_t* hit = Search(from, oldText);
        const size_t keep = hit != nullptr ? static_cast<size_t>(hit - from) : std::wcslen(from);
        const size_t add = keep + (hit != nullptr ? newLength : 0);
        if (used + add + 1 > room) {
            const size_t grown = (used + add + 1) * 2;
            if (grown * sizeof(wchar_t) > 0xFFFFFFFFu) {
                return length;
            }
            void* moved =
                MemRealloc(result.get(), static_cast<unsigned int>(grown * sizeof(wchar_t)));
            if (moved == nullptr) {
                return length;
            }
            result.release();
            result.reset(static_cast<wchar_t*>(moved));
            room = grown;
        }
        std::wmemcpy(result.get() + used, from, keep);
        used += keep;
        if (hit == nullptr) {
            result.get()[used] = 0;
            Assign(result.get());
            return GetLength();
        }
        std::wmemcpy(result.get() + used, newText, newLength);
        used += newLength;
        from = hit + oldLength;
    }
    return length;
}

unsigned int String::Replace(wchar_t oldChar, wchar_t newChar) {
    // The plain function scans to the old end even when the new character is NUL.
    return m_buffer != nullptr ? StrReplace(m_buffer, oldChar, newChar) : 0;
}

void String::MakeLower() {
    for (wchar_t* p = m_buffer; p != nullptr && *p != 0; ++p) {
        if (*p >= L'A' && *p <= L'Z') {
            *p = static_cast<wchar_t>(*p + (L'a' - L'A'));
        }
    }
}

unsigned int String::Trim(const wchar_t* set) {
    if (!HasText(set) || IsEmpty()) {
        return 0;
    }
    const unsigned int length = GetLength();
    unsigned int begin = 0;
    while (begin < length && InSet(set, m_buffer[begin])) {
        ++begin;
    }
    unsigned int end = length;
    while (end > begin && InSet(set, m_buffer[end - 1])) {
        --end;
    }
    const String kept = SubStr(begin, end - begin);
    Assign(kept.m_buffer);
    return length - (end - begin);
}

String String::SubStr(unsigned int start, unsigned int count) const {
    String result;
    if (!Inside(m_buffer, m_capacity, start)) {
        return result;
    }
    const unsigned int length = GetLength();
    if (count == npos) {
        count = length - start;
    }
    // A count reaching past the end is not shortened: the whole result is empty.
    if (count > length - start) {
        return result;
    }
    result.SetSize(count + 1);
    if (count > 0 && result.m_buffer != nullptr) {
        std::wmemcpy(result.m_buffer, m_buffer + start, count);
        result.m_buffer[count] = 0;
    }
    return result;
}

String String::Tokenize(const wchar_t* delimiters, int& pos) const {
    if (!Inside(m_buffer, m_capacity, pos)) {
        return String();
    }
    const wchar_t* set = HasText(delimiters) ? delimiters : L"";
    const unsigned int start = static_cast<unsigned int>(pos);
    for (unsigned int i = start; m_buffer[i] != 0; ++i) {
        if (InSet(set, m_buffer[i])) {
            pos = static_cast<int>(i) + 1;
            return i == start ? String() : SubStr(start, i - start);
        }
    }
    pos = -1;
    return SubStr(start, npos);
}

String String::Tokenize(wchar_t delimiter, int& pos) const {
    const wchar_t set[2] = {delimiter, 0};
    return Tokenize(set, pos);
}

}  // namespace TKV

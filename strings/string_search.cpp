// String: searching, replacing, trimming, sub-strings and tokenising.
#include <climits>
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
    if (m_buffer == nullptr || !HasText(oldText) || detail::IsAbsent(newText)) {
        return length;
    }
    const wchar_t* first = Search(m_buffer, oldText);
    if (first == nullptr) {
        return length;
    }
    const size_t oldLength = std::wcslen(oldText);
    const size_t newLength = std::wcslen(newText);
    size_t resultLength;
    if (newLength <= oldLength) {
        // Writing never overtakes reading, so the text is rewritten in place in one pass.
        wchar_t* out = m_buffer + (first - m_buffer);
        const wchar_t* from = first;
        for (const wchar_t* hit = first; hit != nullptr; hit = Search(from, oldText)) {
            std::wmemmove(out, from, static_cast<size_t>(hit - from));
            out += hit - from;
            std::wmemcpy(out, newText, newLength);
            out += newLength;
            from = hit + oldLength;
        }
        const size_t rest = std::wcslen(from);
        std::wmemmove(out, from, rest + 1);
        resultLength = static_cast<size_t>(out - m_buffer) + rest;
    } else {
        // A longer text is built on the library's heap first, then copied back.
        size_t hits = 0;
        for (const wchar_t* p = first; p != nullptr; p = Search(p + oldLength, oldText)) {
            ++hits;
        }
        resultLength = length + hits * (newLength - oldLength);
        if ((resultLength + 1) * sizeof(wchar_t) > 0xFFFFFFFFu) {
            return length;
        }
        std::unique_ptr<wchar_t, HeapFree> result(static_cast<wchar_t*>(
            MemAlloc(static_cast<unsigned int>((resultLength + 1) * sizeof(wchar_t)))));
        if (result == nullptr) {
            return length;
        }
        wchar_t* out = result.get();
        const wchar_t* from = m_buffer;
        for (const wchar_t* hit = first; hit != nullptr; hit = Search(from, oldText)) {
            out = std::wmemcpy(out, from, static_cast<size_t>(hit - from)) + (hit - from);
            out = std::wmemcpy(out, newText, newLength) + newLength;
            from = hit + oldLength;
        }
        std::wmemcpy(out, from, std::wcslen(from) + 1);
        if (!Reserve(static_cast<unsigned int>(resultLength))) {
            return 0;
        }
        std::wmemcpy(m_buffer, result.get(), resultLength + 1);
    }
    // The result counts as assigned: the room grows as an assignment's would, old plus new.
    const size_t needed = length + resultLength;
    if (!Reserve(needed >= UINT_MAX ? UINT_MAX : static_cast<unsigned int>(needed))) {
        return 0;
    }
    return static_cast<unsigned int>(resultLength);
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

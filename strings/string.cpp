// String: storage, growth, access and comparison.
#include "tkv/string.h"

#include <climits>
#include <cstdlib>
#include <cwchar>

#include "foundation/string_traits.h"
#include "tkv/string_functions.h"

namespace TKV {

const unsigned int String::npos = 0xFFFFFFFFu;

namespace {

constexpr unsigned int kInitialCapacity = 260;

// -1, 0 or 1 by unsigned code unit; an absent text sorts before every present one.
int Order(const wchar_t* a, const wchar_t* b) {
    if (a == nullptr || b == nullptr) {
        return (a != nullptr) - (b != nullptr);
    }
    for (;; ++a, ++b) {
        const uint32_t x = detail::Unit(*a);
        const uint32_t y = detail::Unit(*b);
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (x == 0) {
            return 0;
        }
    }
}

const wchar_t* Present(const wchar_t* text) {
    return detail::IsAbsent(text) ? nullptr : text;
}

}  // namespace

void String::Construct() {
    m_buffer = static_cast<wchar_t*>(std::malloc((kInitialCapacity + 1) * sizeof(wchar_t)));
    m_capacity = m_buffer != nullptr ? kInitialCapacity : 0;
    if (m_buffer != nullptr) {
        m_buffer[0] = 0;
    }
}

String::String() {
    Construct();
}

String::String(const String& other) {
    Construct();
    Assign(other.m_buffer);
}

String::String(const wchar_t* text) {
    Construct();
    Assign(text);
}

String::String(wchar_t c) {
    Construct();
    const wchar_t text[2] = {c, 0};
    Assign(text);
}

String::~String() {
    std::free(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
}

bool String::Reserve(unsigned int needed) {
    if (needed <= m_capacity) {
        return m_buffer != nullptr;
    }
    const bool fresh = m_buffer == nullptr;
    // UINT_MAX stands for a size the positions cannot address: a failed growth.
    void* grown = needed == UINT_MAX
                      ? nullptr
                      : std::realloc(m_buffer, (static_cast<size_t>(needed) + 1) * sizeof(wchar_t));
    if (grown == nullptr) {
        std::free(m_buffer);
        m_buffer = nullptr;
        m_capacity = 0;
        return false;
    }
    m_buffer = static_cast<wchar_t*>(grown);
    m_capacity = needed;
    if (fresh) {
        m_buffer[0] = 0;
    }
    return true;
}

// Copies `text` to `offset` after growing to `needed` characters. The text may lie in our own
// buffer, which growing can move.
void String::Put(const wchar_t* text, unsigned int offset, unsigned long needed) {
    const size_t n = std::wcslen(text);
    const bool inside = m_buffer != nullptr && text >= m_buffer && text <= m_buffer + m_capacity;
    const size_t at = inside ? static_cast<size_t>(text - m_buffer) : 0;
    // Room beyond UINT_MAX cannot be had: that is a failed growth.
    if (!Reserve(needed >= UINT_MAX ? UINT_MAX : static_cast<unsigned int>(needed))) {
        return;
    }
    std::wmemmove(m_buffer + offset, inside ? m_buffer + at : text, n);
    m_buffer[offset + n] = 0;
}

void String::Assign(const wchar_t* text) {
    text = Present(text);
    if (text == nullptr) {
        text = L"";
    }
    // Growth counts the current length too: an assignment asks for more room than it needs.
    Put(text, 0, static_cast<size_t>(GetLength()) + std::wcslen(text));
}

void String::Append(const wchar_t* text) {
    text = Present(text);
    if (text == nullptr || m_buffer == nullptr) {
        return;
    }
    const unsigned int length = GetLength();
    Put(text, length, static_cast<size_t>(length) + std::wcslen(text));
}

String& String::operator=(const String& other) {
    if (&other != this) {
        Assign(other.m_buffer);
    }
    return *this;
}

String& String::operator=(const wchar_t* text) {
    if (text == nullptr || text != m_buffer) {
        Assign(text);
    }
    return *this;
}

String& String::operator=(wchar_t c) {
    const wchar_t text[2] = {c, 0};
    Assign(text);
    return *this;
}

String& String::operator+=(const wchar_t* text) {
    Append(text);
    return *this;
}

String& String::operator+=(wchar_t c) {
    const wchar_t text[2] = {c, 0};
    Append(text);
    return *this;
}

String& String::operator+(String& other) {
    Append(other.m_buffer);
    return *this;
}

void String::Clear() {
    if (m_buffer != nullptr) {
        m_buffer[0] = 0;
    }
}

void String::SetSize(unsigned int size) {
    if (size <= m_capacity) {
        return;
    }
    // A fresh buffer rather than a copy: the text is emptied when the buffer grows.
    std::free(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    Reserve(size == UINT_MAX ? UINT_MAX : size);
}

unsigned int String::GetLength() const {
    return m_buffer != nullptr ? static_cast<unsigned int>(std::wcslen(m_buffer)) : 0;
}

bool String::IsEmpty() const {
    return m_buffer == nullptr || m_buffer[0] == 0;
}

wchar_t String::GetAt(unsigned int pos) const {
    // The text ends within the capacity, so a position past it cannot be inside the text.
    if (m_buffer == nullptr || pos >= m_capacity ||
        detail::LengthUpTo(m_buffer, static_cast<size_t>(pos) + 1) <= pos) {
        return 0;
    }
    return m_buffer[pos];
}

wchar_t String::operator[](unsigned int pos) const {
    return GetAt(pos);
}

void String::SetAt(unsigned int pos, wchar_t c) {
    if (GetAt(pos) != 0) {
        m_buffer[pos] = c;
    }
}

const wchar_t* String::GetBuffer() const {
    return m_buffer;
}

String::operator wchar_t*() {
    return m_buffer;
}

bool String::operator==(const String& other) const {
    return Order(m_buffer, other.m_buffer) == 0;
}

bool String::operator==(const wchar_t* text) const {
    return Order(m_buffer, Present(text)) == 0;
}

bool String::operator!=(const wchar_t* text) const {
    return !(*this == text);
}

bool String::operator<(const String& other) const {
    return Order(m_buffer, other.m_buffer) < 0;
}

bool String::operator<(const wchar_t* text) const {
    return Order(m_buffer, Present(text)) < 0;
}

bool String::operator>(const wchar_t* text) const {
    return Order(m_buffer, Present(text)) > 0;
}

int String::Compare(const String& other, bool exact) const {
    if (&other == this) {
        return 0;
    }
    if (m_buffer == nullptr || other.m_buffer == nullptr) {
        return (m_buffer != nullptr) - (other.m_buffer != nullptr);
    }
    return StrCompare(m_buffer, other.m_buffer, exact);
}

bool String::Equal(const wchar_t* text, bool exact) const {
    return StrCompare(m_buffer, text, exact) == 0;
}

}  // namespace TKV

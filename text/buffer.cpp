// CBuffer: storage, appending, comparison, hits and character classes.
#include "tkv/buffer.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "foundation/string_traits.h"
#include "tkv/string_functions.h"

namespace TKV {

template <typename T>
CBuffer<T>::CBuffer() = default;

template <typename T>
CBuffer<T>::CBuffer(const T* text) {
    Add(text);
}

template <typename T>
CBuffer<T>::~CBuffer() {
    if (!borrowed) {
        std::free(buffer);
    }
    delete results;
}

template <typename T>
CBuffer<T>& CBuffer<T>::operator=(const CBuffer& other) {
    size = other.size;
    results = other.results;
    buffer = other.buffer;
    length = other.length;
    borrowed = other.borrowed;
    lines = other.lines;
    return *this;
}

template <typename T>
void CBuffer<T>::UseStorage(T* storage, int characters) {
    if (buffer != nullptr || results != nullptr) {
        Free();
    }
    lines.Reset();
    buffer = storage;
    length = characters;
    size = characters * static_cast<int>(sizeof(T));
    borrowed = true;
}

template <typename T>
CBuffer<T>& CBuffer<T>::operator=(const T* text) {
    Reset();
    Add(text);
    return *this;
}

template <typename T>
int CBuffer<T>::operator==(const T* s) const {
    return StrCompare(buffer, s, true) == 0 ? 1 : 0;
}

template <typename T>
CBuffer<T>& CBuffer<T>::operator+=(T c) {
    Add(c);
    return *this;
}

template <typename T>
CBuffer<T>& CBuffer<T>::operator+=(const T* s) {
    Add(s);
    return *this;
}

template <typename T>
void CBuffer<T>::Add(T c) {
    Add(&c, 1);
}

template <typename T>
void CBuffer<T>::Add(const T* s) {
    if (s != nullptr && *s != 0) {
        Add(s, static_cast<int>(detail::Length(s)));
    }
}

template <typename T>
void CBuffer<T>::Add(const T* s, int count) {
    if (s == nullptr || count <= 0) {
        return;
    }
    const long long bytes = (static_cast<long long>(length) + count) * sizeof(T);
    if (bytes > INT_MAX - static_cast<long long>(sizeof(T))) {
        return;
    }
    // Appending a part of the text itself must survive the buffer moving.
    const bool own = buffer != nullptr && s >= buffer && s < buffer + length;
    const long long offset = own ? s - buffer : 0;
    if (Realloc(static_cast<int>(bytes)) == nullptr || size < bytes) {
        return;
    }
    if (own) {
        s = buffer + offset;
    }
    std::memmove(buffer + length, s, static_cast<size_t>(count) * sizeof(T));
    length += count;
    buffer[length] = 0;
}

template <typename T>
T* CBuffer<T>::Realloc(int bytes) {
    if (bytes <= size || bytes > INT_MAX - static_cast<int>(sizeof(T))) {
        return buffer;
    }
    const size_t total = static_cast<size_t>(bytes) + sizeof(T);
    if (buffer == nullptr) {
        // calloc hands out fresh pages already zero, so a large first block costs no memset.
        buffer = static_cast<T*>(std::calloc(total, 1));
        if (buffer != nullptr) {
            size = bytes;
        }
        return buffer;
    }
    void* grown;
    if (borrowed) {
        grown = std::malloc(total);
        if (grown != nullptr) {
            std::memcpy(grown, buffer, static_cast<size_t>(size) + sizeof(T));
        }
    } else {
        grown = std::realloc(buffer, total);
    }
    if (grown == nullptr) {
        return buffer;
    }
    borrowed = false;
    // Everything past the old room is new; the text ends inside the old room.
    std::memset(static_cast<char*>(grown) + size, 0, total - static_cast<size_t>(size));
    const uintptr_t moved =
        reinterpret_cast<uintptr_t>(grown) - reinterpret_cast<uintptr_t>(buffer);
    buffer = static_cast<T*>(grown);
    size = bytes;
    if (moved != 0) {
        // Lines made so far point into the old block.
        for (int i = 0; i < lines.Count(); ++i) {
            if (TLineEntry<T>* entry = lines.At(i)) {
                entry->line =
                    reinterpret_cast<T*>(reinterpret_cast<uintptr_t>(entry->line) + moved);
            }
        }
    }
    return buffer;
}

template <typename T>
int CBuffer<T>::Compare(const CBuffer& other) const {
    if (buffer == nullptr || other.buffer == nullptr) {
        return (buffer != nullptr) - (other.buffer != nullptr);
    }
    return StrCompare(buffer, other.buffer, true);
}

template <typename T>
T* CBuffer<T>::GetResult(int index, int& lineNumber) const {
    if (results == nullptr || index >= results->Count()) {
        return nullptr;
    }
    const TResultEntry entry = results->Get(index);
    lineNumber = entry.lineNumber;
    return buffer == nullptr ? nullptr : buffer + entry.lineStart;
}

template <typename T>
int CBuffer<T>::GetResultCount() const {
    return results == nullptr ? 0 : results->Count();
}

template <typename T>
int CBuffer<T>::GetResultLength(int index) const {
    if (results == nullptr || index >= results->Count() || buffer == nullptr) {
        return 0;
    }
    const int start = results->Get(index).lineStart;
    int end = start;
    while (end < length && buffer[end] != '\n' && buffer[end] != '\r' && buffer[end] != 0) {
        ++end;
    }
    return end - start;
}

template <typename T>
void CBuffer<T>::SetLength(int characters) {
    Reset();
    if (characters > 0 && characters <= INT_MAX / static_cast<int>(sizeof(T))) {
        Realloc(characters * static_cast<int>(sizeof(T)));
    }
}

template <typename T>
void CBuffer<T>::SetSize(int bytes) {
    Reset();
    Realloc(bytes);
}

template <typename T>
void CBuffer<T>::Reset() {
    length = 0;
    if (buffer != nullptr) {
        buffer[0] = 0;
    }
    lines.Reset();
    if (results != nullptr) {
        results->Reset();
    }
}

template <typename T>
void CBuffer<T>::Free() {
    if (!borrowed) {
        std::free(buffer);
    }
    borrowed = false;
    buffer = nullptr;
    size = 0;
    length = 0;
    delete results;
    results = nullptr;
    lines.Reset();
}

template <typename T>
T* CBuffer<T>::AddLine(T* line, T* end) {
    *end = 0;
    lines.Add(TLineEntry<T>{line});
    return end + 1;
}

template <typename T>
int CBuffer<T>::CharEqual(const char* a, const char* b, bool ignoreCase) {
    if (a == nullptr || b == nullptr) {
        return 0;
    }
    return *a == *b || (ignoreCase && detail::FoldAZ(*a) == detail::FoldAZ(*b)) ? 1 : 0;
}

template <typename T>
int CBuffer<T>::CharEqual(const wchar_t* a, const wchar_t* b, bool ignoreCase) {
    if (a == nullptr || b == nullptr) {
        return 0;
    }
    return *a == *b || (ignoreCase && detail::FoldAZ(*a) == detail::FoldAZ(*b)) ? 1 : 0;
}

template <typename T>
bool CBuffer<T>::IsPrintable(const char* s) {
    return s != nullptr && std::isprint(static_cast<unsigned char>(*s)) != 0;
}

template <typename T>
bool CBuffer<T>::IsPrintable(const wchar_t* s) {
    return s != nullptr && std::iswprint(static_cast<wint_t>(*s)) != 0;
}

template <typename T>
int CBuffer<T>::IsWordDelimeter(char c) {
    // A signed byte: everything from 0x80 up is below 33 and ends a word.
    const int value = static_cast<signed char>(c);
    return value < 33 || std::isspace(value) != 0 || std::isalnum(value) == 0 ? 1 : 0;
}

template <typename T>
int CBuffer<T>::IsWordDelimeter(wchar_t c) {
    const auto value = static_cast<wint_t>(c);
    return c < 33 || std::iswspace(value) != 0 || std::iswalnum(value) == 0 ? 1 : 0;
}

template <typename T>
void* CBuffer<T>::Malloc(unsigned int bytes) {
    return std::malloc(bytes);
}

template class CBuffer<char>;
template class CBuffer<wchar_t>;

}  // namespace TKV

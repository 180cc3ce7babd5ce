// The search term and its Horspool skip table.
#include "tkv/search_query.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>

namespace TKV {
namespace {

constexpr int kMaxTermLength = 0xFFFF;

template <typename T, typename Map>
T* MappedCopy(const T* s, Map map) {
    if (s == nullptr) {
        return nullptr;
    }
    const int n = CSearchQuery<T>::StringLength(s);
    T* copy = new T[static_cast<size_t>(n) + 1];
    for (int i = 0; i < n; ++i) {
        copy[i] = map(s[i]);
    }
    copy[n] = 0;
    return copy;
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
wchar_t Lower(wchar_t c) {
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}
wchar_t Upper(wchar_t c) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

}  // namespace

template <typename T>
CSearchQuery<T>::~CSearchQuery() {
    delete[] term;
    delete[] table;
}

template <typename T>
CSearchQuery<T>& CSearchQuery<T>::operator=(const CSearchQuery& other) {
    term = other.term;
    termLength = other.termLength;
    table = other.table;
    tableSize = other.tableSize;
    return *this;
}

template <typename T>
void CSearchQuery<T>::SetTerm(const T* text, unsigned int, bool ignoreCase) {
    tableSize = 0;
    delete[] term;
    delete[] table;
    term = nullptr;
    table = nullptr;
    termLength = 0;

    const T empty[1] = {0};
    const T* source = text != nullptr ? text : empty;
    const int m = StringLength(source);
    std::unique_ptr<T[]> upper, lower;
    if (ignoreCase) {
        upper.reset(MakeUpper(source));
        lower.reset(MakeLower(source));
    }
    // The forms a term character matches as: itself, and its two case mappings.
    const T* forms[3] = {source, upper.get(), lower.get()};
    const int formCount = ignoreCase ? 3 : 1;

    unsigned int size = 1;
    for (int i = 0; i < m; ++i) {
        for (int f = 0; f < formCount; ++f) {
            size = std::max(size, ToBase(forms[f][i]) + 1u);
        }
    }
    // An unsigned 16-bit table cannot hold 65536 entries or shifts above 65535: such a term
    // becomes the empty term, which finds nothing, rather than a table that would skip hits.
    const bool fits = m <= kMaxTermLength && size <= 0xFFFF;
    const int kept = fits ? m : 0;
    if (!fits) {
        size = 1;
    }
    term = new T[static_cast<size_t>(kept) + 1];
    std::copy(source, source + kept, term);
    term[kept] = 0;
    termLength = kept;
    table = new unsigned short[size];
    std::fill(table, table + size, static_cast<unsigned short>(kept));
    for (int i = kept; i >= 1; --i) {
        const auto shift = static_cast<unsigned short>(kept - i);
        for (int f = 0; f < formCount; ++f) {
            unsigned short& entry = table[ToBase(forms[f][i - 1])];
            entry = std::min(entry, shift);
        }
    }
    if (kept > 0) {
        for (int f = 0; f < formCount; ++f) {
            table[ToBase(forms[f][kept - 1])] = 1;
        }
    }
    tableSize = static_cast<unsigned short>(size);
}

template <typename T>
unsigned short CSearchQuery<T>::ToBase(char c) {
    const int value = static_cast<signed char>(c);
    return static_cast<unsigned short>(value < 0 ? -value : value);
}

template <typename T>
unsigned short CSearchQuery<T>::ToBase(wchar_t c) {
    // Characters above U+FFFF share an index with one below; a shared entry holds the smaller
    // shift, so the search still finds every hit.
    return static_cast<unsigned short>(c);
}

template <typename T>
char* CSearchQuery<T>::MakeLower(const char* s) {
    return MappedCopy(s, [](char c) { return Lower(c); });
}
template <typename T>
wchar_t* CSearchQuery<T>::MakeLower(const wchar_t* s) {
    return MappedCopy(s, [](wchar_t c) { return Lower(c); });
}
template <typename T>
char* CSearchQuery<T>::MakeUpper(const char* s) {
    return MappedCopy(s, [](char c) { return Upper(c); });
}
template <typename T>
wchar_t* CSearchQuery<T>::MakeUpper(const wchar_t* s) {
    return MappedCopy(s, [](wchar_t c) { return Upper(c); });
}

template <typename T>
int CSearchQuery<T>::StringLength(const char* s) {
    return static_cast<int>(std::strlen(s));
}
template <typename T>
int CSearchQuery<T>::StringLength(const wchar_t* s) {
    return static_cast<int>(std::wcslen(s));
}

template class CSearchQuery<char>;
template class CSearchQuery<wchar_t>;

}  // namespace TKV

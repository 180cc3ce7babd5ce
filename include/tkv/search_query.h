// A search term with its skip table, for CBuffer<T>::Search (tkv/buffer.h).
//
// Set the term once with SetTerm and pass the query to as many searches as needed; a search only
// reads it. The ignore-case flag given to SetTerm must agree with flag 1 of those searches.
#ifndef TKV_SEARCH_QUERY_H
#define TKV_SEARCH_QUERY_H

#include "tkv/export.h"

namespace TKV {

template <typename T>
class TKV_API CSearchQuery {
  public:
    CSearchQuery() = default;
    ~CSearchQuery();
    CSearchQuery(const CSearchQuery&) = delete;
    // Member-wise: both queries then share the term and the table, and only one of them may be
    // destroyed or given a new term.
    CSearchQuery& operator=(const CSearchQuery& other);

    // Copies the term (null counts as empty) and builds the skip table, with the upper- and
    // lower-case forms of each character when ignoreCase is set. The count is not used. A term
    // the 16-bit table cannot describe (over 65535 characters, or a character whose table index
    // would be 0xFFFF) leaves the query empty, so searches with it find nothing.
    void SetTerm(const T* term, unsigned int unused, bool ignoreCase);

    const T* GetTerm() const { return term; }
    int GetTermLength() const { return termLength; }
    unsigned short GetTableSize() const { return tableSize; }
    // How far a window whose last character has this table index may move.
    int GetShift(unsigned short index) const {
        return index < tableSize ? table[index] : termLength;
    }

    // Skip-table index: a narrow character's signed value without its sign; a wide code unit.
    static unsigned short ToBase(char c);
    static unsigned short ToBase(wchar_t c);
    // New copies (release with delete[]) mapped by the C library's tolower/toupper; null for null.
    static char* MakeLower(const char* s);
    static wchar_t* MakeLower(const wchar_t* s);
    static char* MakeUpper(const char* s);
    static wchar_t* MakeUpper(const wchar_t* s);
    // Characters before the terminator; s must not be null.
    static int StringLength(const char* s);
    static int StringLength(const wchar_t* s);

  private:
    T* term = nullptr;
    int termLength = 0;
    unsigned short* table = nullptr;
    unsigned short tableSize = 0;
};

extern template class CSearchQuery<char>;
extern template class CSearchQuery<wchar_t>;

}  // namespace TKV

#endif  // TKV_SEARCH_QUERY_H

// String: the library's wide-character string value. It owns one NUL-terminated buffer and
// offers the searches, replacements, trimming, sub-strings and tokenising agents need on short
// texts. Positions, lengths and counts are in wchar_t units; a search that finds nothing gives
// String::npos. No length is stored: every operation counts up to the terminator.
//
// Capacity only grows: an assignment needs the current plus the new length, an append the
// current plus the appended length, SetSize(n) needs n. A failed allocation leaves the string
// without a buffer, which then behaves as an absent text. One object is for one thread at a time.
#ifndef TKV_STRING_H
#define TKV_STRING_H

#include "tkv/export.h"

namespace TKV {

class TKV_API String {
  public:
    static const unsigned int npos;

    String();
    String(const String& other);
    String(const wchar_t* text);  // null gives the empty text
    String(wchar_t c);            // the character 0 gives the empty text
    ~String();

    String& operator=(const String& other);
    String& operator=(const wchar_t* text);
    String& operator=(wchar_t c);
    // Replaces the text by a copy of `text` (null: the empty text).
    void Assign(const wchar_t* text);
    // Adds `text` at the end; nothing for null.
    void Append(const wchar_t* text);
    String& operator+=(const wchar_t* text);
    String& operator+=(wchar_t c);
    // Appends `other` to this string and returns it: the left operand changes.
    String& operator+(String& other);
    void Clear();
    // Grows to hold `size` characters; the text is emptied only when the buffer grows.
    void SetSize(unsigned int size);

    unsigned int GetLength() const;
    bool IsEmpty() const;
    // The character at `pos`, or 0 past the end.
    wchar_t GetAt(unsigned int pos) const;
    wchar_t operator[](unsigned int pos) const;
    // An int index too, or s[1] would be ambiguous with the pointer conversion's built-in
    // subscript where ptrdiff_t is int (32-bit targets). A negative index is past the end.
    wchar_t operator[](int pos) const { return (*this)[static_cast<unsigned int>(pos)]; }
    // Stores `c` at `pos` when pos is inside the text.
    void SetAt(unsigned int pos, wchar_t c);
    const wchar_t* GetBuffer() const;
    operator wchar_t*();

    // Equality by code units; an absent text equals only an absent text.
    bool operator==(const String& other) const;
    bool operator==(const wchar_t* text) const;
    bool operator!=(const wchar_t* text) const;
    // Order by unsigned code unit; an absent text sorts first.
    bool operator<(const String& other) const;
    bool operator<(const wchar_t* text) const;
    bool operator>(const wchar_t* text) const;
    // StrCompare of the two texts; `exact` false folds A-Z only.
    int Compare(const String& other, bool exact) const;
    bool Equal(const wchar_t* text, bool exact) const;

    // First occurrence at or after `start`; an absent or empty text gives the length.
    unsigned int Find(const wchar_t* text, unsigned int start) const;
    unsigned int Find(wchar_t c, unsigned int start) const;
    // Last occurrence at or before length - `fromEnd` (an occurrence may reach past it).
    unsigned int RFind(const wchar_t* text, unsigned int fromEnd) const;
    unsigned int RFind(wchar_t c, unsigned int fromEnd) const;
    bool Contains(const wchar_t* text) const;
    bool Beginswith(const wchar_t* text) const;
    int CountOf(wchar_t c) const;

    // Replaces every occurrence, left to right without overlap; returns the new length.
    unsigned int Replace(const wchar_t* oldText, const wchar_t* newText);
    // Returns the number of characters replaced.
    unsigned int Replace(wchar_t oldChar, wchar_t newChar);
    // A-Z to a-z; nothing else changes.
    void MakeLower();
    // Removes the characters of `set` from both ends; returns how many went.
    unsigned int Trim(const wchar_t* set);
    // `count` characters from `start` (npos: to the end); empty when they reach past the end.
    String SubStr(unsigned int start, unsigned int count) const;
    // The token at `pos` up to the next delimiter; pos moves past it, or to -1 at the end.
    String Tokenize(const wchar_t* delimiters, int& pos) const;
    String Tokenize(wchar_t delimiter, int& pos) const;

  private:
    void Construct();
    // Makes room for `needed` characters, keeping the text; false when no buffer is left.
    bool Reserve(unsigned int needed);
    void Put(const wchar_t* text, unsigned int offset, unsigned long needed);

    unsigned int m_capacity;
    wchar_t* m_buffer;
};

}  // namespace TKV

#endif  // TKV_STRING_H

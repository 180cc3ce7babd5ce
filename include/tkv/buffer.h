// CBuffer<T>: a growable text that loads files, cuts itself into lines and records search hits.
//
// The text is always NUL-terminated. Growth is exact (one reallocation per growing call, no
// reserve); Load sizes the buffer once from the file. Pointers into the text (lines, GetBuffer)
// stay valid until the buffer next grows. One object is used by one thread at a time.
#ifndef TKV_BUFFER_H
#define TKV_BUFFER_H

#include <cstdio>

#include "tkv/export.h"
#include "tkv/search_query.h"

namespace TKV {

// A line the buffer made: its first character, inside the buffer.
template <typename T>
struct TLineEntry {
    T* line;
};

// A search hit: the line number (from 1) and the offset of that line's first character.
struct TResultEntry {
    int lineNumber;
    int lineStart;
};

// The growable table behind the line and result tables: capacity grows by a fixed step, and
// entries survive Reset so that refilling the table allocates nothing. A slot whose entry could
// not be allocated reads as all zeros. Used by CBuffer only.
template <typename E>
class CEntryTable {
  public:
    explicit CEntryTable(int growStep);
    ~CEntryTable();
    CEntryTable(const CEntryTable&) = delete;
    CEntryTable& operator=(const CEntryTable&) = default;  // shares, as CBuffer's assignment

    // Stores a copy of the entry after the last one; returns its index.
    int Add(const E& entry);
    // The entry at the index; all zeros for a negative index or an unallocated slot.
    E Get(int index) const;
    int Count() const { return count; }
    void Reset() { count = 0; }
    // The stored entry at the index, for changing it in place; null when there is none.
    E* At(int index) const;

  private:
    E** slots = nullptr;
    int capacity = 0;
    int growStep;
    int count = 0;
};

template <typename T>
class TKV_API CBuffer {
  public:
    CBuffer();
    CBuffer(const T* text);
    ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    // Member-wise: both objects then share the text and the tables; the caller sees that this
    // storage is released once and not used after its release.
    CBuffer& operator=(const CBuffer& other);
    // Reset, then Add of the text.
    CBuffer& operator=(const T* text);
    // 1 when the text equals s exactly, else 0.
    int operator==(const T* s) const;
    CBuffer& operator+=(T c);
    CBuffer& operator+=(const T* s);
    operator T*() const { return buffer; }
    T* GetBuffer() const { return buffer; }
    // Characters of text, and bytes of room (the terminator's not counted).
    int GetLength() const { return length; }
    int GetSize() const { return size; }

    void Add(T c);
    // Appends a NUL-terminated text; nothing for null or empty.
    void Add(const T* s);
    // Appends count characters; nothing for 0 or less.
    void Add(const T* s, int count);

    // -1, 0 or 1 by unsigned code unit; no text sorts before any text.
    int Compare(const CBuffer& other) const;

    // Replaces the text with the rest of the stream as lines (CR dropped, LF and NUL end a
    // line, a last line without a line end counted); returns the line count.
    int Load(FILE* stream);
    // With a stream: reads the next line and returns it, or null at the end, where the stream
    // is closed and set to null. With a null stream: the line at the index, or null.
    T* GetNext(FILE*& stream, int index);
    // Cut the text into lines in place at line feeds / at c; true when a line results.
    bool ToLines();
    bool Split(T c);

    // Hits of the last search: the hit's line (its number stored in lineNumber), the count,
    // and the line's length up to CR, LF or NUL.
    T* GetResult(int index, int& lineNumber) const;
    int GetResultCount() const;
    int GetResultLength(int index) const;

    // Sizes are in bytes: sizeof(T) per character. Both leave an empty text of at least that room.
    void SetLength(int characters);
    void SetSize(int bytes);
    // Makes the room at least bytes; returns the buffer.
    T* Realloc(int bytes);
    // Makes the room at least what the whole file needs; returns that number of bytes.
    int ReAllocForFile(FILE* stream);
    // Empties text, lines and hits; keeps all storage.
    void Reset();
    // Returns the text and the hits' storage; the line table keeps its storage.
    void Free();

    // Searches the text (line delimiter NUL, as Load, ToLines and Split leave it).
    unsigned long Search(unsigned long flags, CSearchQuery<T>& query);
    // Reads the rest of a file handle (CreateFileW) into the buffer and searches it by line
    // feeds; wide buffers take the bytes as UTF-16LE code units.
    unsigned long Search(void* file, unsigned long flags, CSearchQuery<T>& query,
                         bool (*stop)(void*), void* stopArg);
    // Searches count characters of text; flags 1 ignore case, 2 whole words. stop (may be null)
    // is asked before each window position and ends the search when it answers true.
    unsigned long Search(const T* text, int count, unsigned long flags, CSearchQuery<T>& query,
                         bool (*stop)(void*), void* stopArg, T delimiter);

    // First characters compared; ignoreCase also accepts A-Z against a-z. 0 when either is null.
    static int CharEqual(const char* a, const char* b, bool ignoreCase);
    static int CharEqual(const wchar_t* a, const wchar_t* b, bool ignoreCase);
    static bool IsPrintable(const char* s);
    static bool IsPrintable(const wchar_t* s);
    // 1 for characters that end a word: below 33 (narrow bytes from 0x80 count), space, and
    // everything the C library does not call a letter or digit.
    static int IsWordDelimeter(char c);
    static int IsWordDelimeter(wchar_t c);
    static void* Malloc(unsigned int bytes);

  protected:
    // Takes characters of text and its NUL, in storage that outlives the buffer and is not
    // freed by it, as the buffer's text without a heap block of its own: for subclasses that
    // keep many short texts together. The text is changed in place; growth moves it to the heap.
    void UseStorage(T* storage, int characters);

  private:
    T* AddLine(T* line, T* end);
    bool CutLines(T delimiter);
    // The room in characters.
    int Room() const { return size / static_cast<int>(sizeof(T)); }

    int size = 0;
    CEntryTable<TResultEntry>* results = nullptr;
    T* buffer = nullptr;
    int length = 0;
    bool borrowed = false;  // buffer is UseStorage's, not the heap's
    CEntryTable<TLineEntry<T>> lines{100};
};

extern template class CBuffer<char>;
extern template class CBuffer<wchar_t>;

}  // namespace TKV

#endif  // TKV_BUFFER_H

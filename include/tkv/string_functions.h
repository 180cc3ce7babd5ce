// Plain functions over NUL-terminated narrow and wide strings: character classes, comparison,
// measuring, copying, searching, replacing, code-page conversion and formatting. Each comes in
// both widths with one behaviour. Null pointers count as absent and give the empty result.
#ifndef TKV_STRING_FUNCTIONS_H
#define TKV_STRING_FUNCTIONS_H

#include "tkv/export.h"

namespace TKV {

// Non-zero for letters / digits / either (exactly 1 for IsAlphaNum), only in the range 1-127.
TKV_API unsigned int IsAlpha(char c);
TKV_API unsigned int IsAlpha(wchar_t c);
TKV_API unsigned int IsAlphaNum(char c);
TKV_API unsigned int IsAlphaNum(wchar_t c);
TKV_API unsigned int IsNumeric(char c);
TKV_API unsigned int IsNumeric(wchar_t c);

// An optional sign and decimal digits; no spaces skipped, overflow wraps; 0 for null.
TKV_API int StrToIntA(const char* s);
TKV_API int StrToIntW(const wchar_t* s);

// The address of the terminating NUL; null for a null or empty string.
TKV_API const char* EndOfString(const char* s);
TKV_API const wchar_t* EndOfString(const wchar_t* s);

// Characters before the NUL; 0 for null.
TKV_API unsigned int StrLength(const char* s);
TKV_API unsigned int StrLength(const wchar_t* s);

// Order of a and b (exact, or folding A-Z when exact is false); null sorts before everything.
// StrCompare's exact result is -1, 0 or +1; the others give a sign.
TKV_API int StrCompare(const char* a, const char* b, bool exact);
TKV_API int StrCompare(const wchar_t* a, const wchar_t* b, bool exact);
TKV_API int StrCompareN(const char* a, const char* b, unsigned int count, bool exact);
TKV_API int StrCompareN(const wchar_t* a, const wchar_t* b, unsigned int count, bool exact);
TKV_API bool StrEqual(const char* a, const char* b, bool exact);
TKV_API bool StrEqual(const wchar_t* a, const wchar_t* b, bool exact);

// Copies src with its NUL into dest, unlimited; nothing when either is null.
TKV_API void StrCopy(char* dest, const char* src);
TKV_API void StrCopy(wchar_t* dest, const wchar_t* src);
// Copies at most limit characters of src and a NUL (dest needs limit + 1 characters). True when
// the whole of src fitted; false when it was cut, src is null or limit is 0 or less.
TKV_API bool StrSafeCopy(char* dest, const char* src, int limit);
TKV_API bool StrSafeCopy(wchar_t* dest, const wchar_t* src, int limit);

// First exact occurrence of part (or c) in text; an empty part gives the text's NUL.
TKV_API const char* StrFind(const char* text, const char* part);
TKV_API const wchar_t* StrFind(const wchar_t* text, const wchar_t* part);
TKV_API const char* StrFind(const char* text, char c);
TKV_API const wchar_t* StrFind(const wchar_t* text, wchar_t c);

// As StrFind, inside the first limit characters (0 or beyond the end: the whole text).
TKV_API const char* StrSearch(const char* text, const char* part, unsigned int limit);
TKV_API const wchar_t* StrSearch(const wchar_t* text, const wchar_t* part, unsigned int limit);
TKV_API const char* StrSearch(const char* text, char c, unsigned int limit);
TKV_API const wchar_t* StrSearch(const wchar_t* text, wchar_t c, unsigned int limit);

// Last occurrence of part (or c) that begins between start and from, both included.
TKV_API const char* StrRevFind(const char* start, const char* from, const char* part);
TKV_API const wchar_t* StrRevFind(const wchar_t* start, const wchar_t* from, const wchar_t* part);
TKV_API const char* StrRevFind(const char* start, const char* from, char c);
TKV_API const wchar_t* StrRevFind(const wchar_t* start, const wchar_t* from, wchar_t c);

// Overwrites every oldChar of text with newChar in place; returns how many.
TKV_API unsigned int StrReplace(char* text, char oldChar, char newChar);
TKV_API unsigned int StrReplace(wchar_t* text, wchar_t oldChar, wchar_t newChar);
// A new heap string (release with StrFree) with every oldText replaced by newText; null when an
// argument is null or oldText is empty.
TKV_API const char* StrReplace(const char* text, const char* oldText, const char* newText);
TKV_API const wchar_t* StrReplace(const wchar_t* text, const wchar_t* oldText,
                                  const wchar_t* newText);

// s converted to the other width through code page codePage (0: ANSI, 65001: UTF-8), in a
// temporary string; null for a null or empty s or a failed conversion.
TKV_API const char* StrConvert(const wchar_t* s, unsigned int codePage);
TKV_API const wchar_t* StrConvert(const char* s, unsigned int codePage);

// printf-style formatting into a temporary string (in a wide format %s takes a wide string, %S
// and %hs a narrow one); null when the result is empty, fails or exceeds 511999 characters.
TKV_API const char* StrFormat(const char* format, ...);
TKV_API const wchar_t* StrFormat(const wchar_t* format, ...);

}  // namespace TKV

#endif  // TKV_STRING_FUNCTIONS_H

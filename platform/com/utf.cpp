// UTF-8 to and from the interface's wide characters. Surrogate pairs, which text from UTF-16
// sources may carry, are joined; anything that is no character becomes U+FFFD.
#include <limits.h>
#include <stdint.h>
#include <string.h>

#include "platform/com/dom_impl.h"
#include "platform/utf8_codec.h"

namespace TKV::platform::detail {

namespace {

// Decodes one character of valid UTF-8 (libxml2 hands out nothing else) and advances.
char32_t NextUtf8(const unsigned char*& p) {
    unsigned char b = *p++;
    if (b < 0x80)
        return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> extra);
    for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i)
        c = (c << 6) | (*p++ & 0x3F);
    return c;
}

// Writes n characters as bytes and tells whether they all were ASCII (the bytes are of no use
// otherwise). Apart pointers let the compiler handle many characters at once.
bool NarrowAscii(char* __restrict out, const wchar_t* __restrict text, size_t n) {
    uint32_t any = 0;
    for (size_t i = 0; i < n; ++i) {
        any |= static_cast<uint32_t>(text[i]);
        out[i] = static_cast<char>(text[i]);
    }
    return any < 0x80;
}

}  // namespace

std::string WideToUtf8Text(const wchar_t* text, size_t length) {
    // Documents are mostly ASCII: blocks of it are narrowed as they are, in one pass. From the
    // first block that is not, two passes of the library's one codec: the first counts, the
    // second writes in place.
    constexpr size_t kBlock = 256;
    std::string out(length, '\0');
    size_t done = 0;
    while (done < length) {
        const size_t n = length - done < kBlock ? length - done : kBlock;
        if (!NarrowAscii(out.data() + done, text + done, n))
            break;
        done += n;
    }
    if (done == length)
        return out;
    Sink<char> count{nullptr, 0};
    EncodeUtf8(text + done, length - done, false, count);
    out.resize(done + count.count);
    Sink<char> sink{out.data() + done, count.count};
    EncodeUtf8(text + done, length - done, false, sink);
    return out;
}

namespace {

// Characters of a UTF-8 text: every byte but the continuation bytes starts one.
UINT Utf8Count(const xmlChar* text) {
    UINT count = 0;
    for (const unsigned char* p = text; p != nullptr && *p != 0; ++p)
        count += (*p & 0xC0) != 0x80;
    return count;
}

// Stops at end whatever the text holds, so a malformed sequence cannot overrun the count.
wchar_t* DecodeInto(wchar_t* out, wchar_t* end, const xmlChar* text) {
    for (const unsigned char* p = text; p != nullptr && *p != 0 && out < end;) {
        if (*p < 0x80)
            *out++ = *p++;
        else
            *out++ = static_cast<wchar_t>(NextUtf8(p));
    }
    return out;
}

// Names and values are mostly ASCII: one byte, one character, no decoding. Copies the bytes as
// characters and tells whether they all were ASCII (the copy is of no use otherwise).
bool WidenAscii(wchar_t* __restrict out, const xmlChar* __restrict text, size_t bytes) {
    unsigned char any = 0;
    for (size_t i = 0; i < bytes; ++i) {
        any |= text[i];
        out[i] = text[i];
    }
    return any < 0x80;
}

}  // namespace

BSTR Utf8ToBstr(const xmlChar* prefix, const xmlChar* text) {
    const size_t prefixBytes =
        prefix != nullptr ? strlen(reinterpret_cast<const char*>(prefix)) : 0;
    const size_t textBytes = text != nullptr ? strlen(reinterpret_cast<const char*>(text)) : 0;
    if (prefixBytes + textBytes < UINT_MAX - 1) {
        const size_t head = prefix != nullptr ? prefixBytes + 1 : 0;
        BSTR s = NewBstr(static_cast<UINT>(head + textBytes));
        if (s == nullptr)
            return nullptr;
        if (prefix != nullptr)
            s[prefixBytes] = L':';
        if (WidenAscii(s, prefix, prefixBytes) && WidenAscii(s + head, text, textBytes))
            return s;
        SysFreeString(s);
    }
    UINT head = prefix != nullptr ? Utf8Count(prefix) + 1 : 0;
    UINT length = head + Utf8Count(text);
    BSTR s = NewBstr(length);
    if (s == nullptr)
        return nullptr;
    wchar_t* out = s;
    if (prefix != nullptr) {
        out = DecodeInto(out, s + head - 1, prefix);
        *out++ = L':';
    }
    DecodeInto(out, s + length, text);
    return s;
}

size_t MatchUtf8(const xmlChar* utf8, const wchar_t* wide, size_t length) {
    const unsigned char* p = utf8;
    size_t i = 0;
    while (p != nullptr && *p != 0) {
        if (i == length || static_cast<char32_t>(wide[i]) != NextUtf8(p))
            return SIZE_MAX;
        ++i;
    }
    return i;
}

}  // namespace TKV::platform::detail

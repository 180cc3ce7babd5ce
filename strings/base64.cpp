// Base64: table-driven loops over whole groups, with the decoding rules for pads and foreign
// bytes kept exactly (they enter the arithmetic with the value 255).
#include "tkv/base64.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "tkv/heap.h"
#include "tkv/string_functions.h"
#include "tkv/tmp_string.h"

namespace TKV {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kPad = '=';
constexpr uint32_t kPadFlag = 0x80000000u;  // above every bit the 8-bit values can reach

struct Tables {
    // Two output characters per 12 input bits.
    char pairs[4096][2];
    // Each character's value shifted to its place in a quantum, so that one OR of four
    // entries gives the quantum's 24 bits; foreign bytes are 255, which overlaps its
    // neighbours exactly as the byte-wise arithmetic does. '=' also carries kPadFlag.
    uint32_t shifted[4][256];
    unsigned char value[256];

    Tables() {
        for (int i = 0; i < 4096; ++i) {
            pairs[i][0] = kAlphabet[i >> 6];
            pairs[i][1] = kAlphabet[i & 63];
        }
        std::memset(value, 255, sizeof value);
        for (int i = 0; i < 64; ++i) {
            value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
        }
        for (int c = 0; c < 256; ++c) {
            for (int place = 0; place < 4; ++place) {
                shifted[place][c] = static_cast<uint32_t>(value[c]) << (18 - 6 * place);
                if (c == kPad) {
                    shifted[place][c] |= kPadFlag;
                }
            }
        }
    }
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

// One quantum that holds a pad, or a short last one (missing characters are NUL). Returns the
// bytes written, or -1 when a pad in the first place ends the decoding.
int DecodeQuantum(const Tables& t, const unsigned char c[4], unsigned char* out) {
    if (c[0] == kPad) {
        return -1;
    }
    const unsigned d1 = t.value[c[1]], d2 = t.value[c[2]];
    out[0] = static_cast<unsigned char>(t.value[c[0]] << 2);
    if (c[1] == kPad) {
        return 1;
    }
    out[0] = static_cast<unsigned char>(out[0] | (d1 >> 4));
    out[1] = static_cast<unsigned char>((d1 & 15) << 4);
    if (c[2] == kPad) {
        return (d1 & 15) == 0 ? 1 : 2;
    }
    out[1] = static_cast<unsigned char>(out[1] | (d2 >> 2));
    out[2] = static_cast<unsigned char>((d2 & 3) << 6);
    if (c[3] == kPad) {
        return (d2 & 3) == 0 ? 2 : 3;
    }
    out[2] = static_cast<unsigned char>(out[2] | t.value[c[3]]);
    return 3;
}

struct HeapBlock {
    void operator()(unsigned char* p) const { MemFree(p); }
};
using HeapBytes = std::unique_ptr<unsigned char, HeapBlock>;

}  // namespace

int Base64CalcEncodedSize(int bytes) {
    if (bytes <= 0) {
        return 0;
    }
    const long long size = 4LL * ((bytes + 2LL) / 3);
    return size > 0x7FFFFFFF ? -1 : static_cast<int>(size);
}

int Base64CalcDecodedSize(int characters) {
    return characters <= 0 ? 0 : characters - characters / 4;
}

unsigned char* Base64Encode(unsigned char* in, unsigned char* out, int count, int* written) {
    const int size = Base64CalcEncodedSize(count);
    // A negative count has room for nothing: the tail below would otherwise write a quantum.
    if (in == nullptr || out == nullptr || count <= 0 || size < 0) {
        if (written != nullptr) {
            *written = 0;
        }
        return out;
    }
    const Tables& t = TheTables();
    const unsigned char* p = in;
    unsigned char* o = out;
    int left = count;
    // Six bytes a step, eight characters stored at once.
    for (; left >= 6; left -= 6, p += 6, o += 8) {
        const uint64_t v = (uint64_t{p[0]} << 40) | (uint64_t{p[1]} << 32) |
                           (uint64_t{p[2]} << 24) | (uint64_t{p[3]} << 16) | (uint64_t{p[4]} << 8) |
                           p[5];
        char chars[8];
        std::memcpy(chars, t.pairs[v >> 36], 2);
        std::memcpy(chars + 2, t.pairs[(v >> 24) & 0xFFF], 2);
        std::memcpy(chars + 4, t.pairs[(v >> 12) & 0xFFF], 2);
        std::memcpy(chars + 6, t.pairs[v & 0xFFF], 2);
        std::memcpy(o, chars, 8);
    }
    for (; left >= 3; left -= 3, p += 3, o += 4) {
        const uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        std::memcpy(o, t.pairs[v >> 12], 2);
        std::memcpy(o + 2, t.pairs[v & 0xFFF], 2);
    }
    const int rest = count % 3;
    if (rest != 0) {
        const uint32_t b0 = p[0], b1 = rest == 2 ? p[1] : 0;
        o[0] = static_cast<unsigned char>(kAlphabet[b0 >> 2]);
        o[1] = static_cast<unsigned char>(kAlphabet[((b0 & 3) << 4) | (b1 >> 4)]);
        o[2] = rest == 2 ? static_cast<unsigned char>(kAlphabet[(b1 & 15) << 2]) : kPad;
        o[3] = kPad;
    }
    if (written != nullptr) {
        *written = size;
    }
    return out;
}

unsigned char* Base64Encode(unsigned char* in, int count, int* written) {
    const int size = Base64CalcEncodedSize(count);
    if (count < 0 || size < 0 || size == 0x7FFFFFFF) {
        return nullptr;
    }
    auto* out = static_cast<unsigned char*>(MemAlloc(static_cast<unsigned int>(size) + 1));
    return out == nullptr ? nullptr : Base64Encode(in, out, count, written);
}

unsigned char* Base64EncodeString(const char* s, int* written) {
    if (s == nullptr) {
        return nullptr;
    }
    const size_t length = std::strlen(s);
    if (length > 0x7FFFFFFF) {
        return nullptr;
    }
    return Base64Encode(reinterpret_cast<unsigned char*>(const_cast<char*>(s)),
                        static_cast<int>(length), written);
}

int Base64Decode(unsigned char* in, unsigned char* out, int count, unsigned char**) {
    if (in == nullptr || out == nullptr || count <= 0) {
        return 0;
    }
    const Tables& t = TheTables();
    const unsigned char* p = in;
    unsigned char* o = out;
    const unsigned char* const wholeEnd = in + (count & ~3);
    while (p < wholeEnd) {
        const uint32_t v =
            t.shifted[0][p[0]] | t.shifted[1][p[1]] | t.shifted[2][p[2]] | t.shifted[3][p[3]];
        if ((v & kPadFlag) == 0) {
            o[0] = static_cast<unsigned char>(v >> 16);
            o[1] = static_cast<unsigned char>(v >> 8);
            o[2] = static_cast<unsigned char>(v);
            o += 3;
        } else {
            const int bytes = DecodeQuantum(t, p, o);
            if (bytes < 0) {
                return static_cast<int>(o - out);
            }
            o += bytes;
        }
        p += 4;
    }
    // A short last quantum decodes as unpadded text would: its r characters give r - 1 bytes,
    // which stays inside the room that n - n / 4 leaves.
    const int rest = count & 3;
    if (rest != 0) {
        unsigned char quantum[4] = {0, 0, 0, 0};
        unsigned char bytes[3];
        std::memcpy(quantum, p, static_cast<size_t>(rest));
        const int got = DecodeQuantum(t, quantum, bytes);
        const int keep = got < rest - 1 ? got : rest - 1;
        if (keep > 0) {
            std::memcpy(o, bytes, static_cast<size_t>(keep));
            o += keep;
        }
    }
    return static_cast<int>(o - out);
}

unsigned char* Base64Decode(unsigned char* in, int count, unsigned char** unused, int* decoded) {
    if (count < 0 || count == 0x7FFFFFFF) {
        return nullptr;
    }
    const int room = (count + 1) - (count + 1) / 4;
    auto* out = static_cast<unsigned char*>(MemAlloc(static_cast<unsigned int>(room)));
    if (out == nullptr) {
        return nullptr;
    }
    if (decoded != nullptr) {
        *decoded = 0;
    }
    const int n = Base64Decode(in, out, count, unused);
    if (decoded != nullptr) {
        *decoded = n;
    }
    if (n < room) {
        out[n] = 0;
    }
    return out;
}

const char* Base64DecodeString(const char* s, unsigned int) {
    if (s == nullptr || *s == 0) {
        return nullptr;
    }
    const size_t length = std::strlen(s);
    if (length >= 0x7FFFFFFF) {
        return nullptr;
    }
    int count = 0;
    HeapBytes bytes(Base64Decode(reinterpret_cast<unsigned char*>(const_cast<char*>(s)),
                                 static_cast<int>(length), nullptr, &count));
    char* text = nullptr;
    if (bytes == nullptr || TKVGetTmpString(text, static_cast<unsigned int>(count) + 1) == 0) {
        return nullptr;
    }
    StrSafeCopy(text, reinterpret_cast<const char*>(bytes.get()), count);
    return text;
}

const wchar_t* Base64DecodeString(const wchar_t* s, unsigned int codePage) {
    if (s == nullptr || *s == 0) {
        return nullptr;
    }
    const char* narrow = StrConvert(s, codePage);
    if (narrow == nullptr) {
        return nullptr;
    }
    // As many characters as the wide text has, never more than the narrow text holds.
    size_t length = std::wcslen(s);
    const size_t narrowLength = std::strlen(narrow);
    if (narrowLength < length) {
        length = narrowLength;
    }
    if (length >= 0x7FFFFFFF) {
        return nullptr;
    }
    HeapBytes bytes(Base64Decode(reinterpret_cast<unsigned char*>(const_cast<char*>(narrow)),
                                 static_cast<int>(length), nullptr, nullptr));
    if (bytes == nullptr) {
        return nullptr;
    }
    return StrConvert(reinterpret_cast<const char*>(bytes.get()), codePage);
}

}  // namespace TKV

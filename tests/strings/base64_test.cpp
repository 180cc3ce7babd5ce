#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tkv/base64.h"
#include "tkv/heap.h"

using namespace TKV;

namespace {

unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<unsigned char*>(const_cast<char*>(s.data()));
}

std::string Decode(const std::string& text) {
    std::vector<unsigned char> out(static_cast<size_t>(Base64CalcDecodedSize(int(text.size()))) +
                                   1);
    const int n = Base64Decode(Bytes(text), out.data(), static_cast<int>(text.size()), nullptr);
    return std::string(out.begin(), out.begin() + n);
}

std::string Encode(const std::string& bytes) {
    int count = -1;
    unsigned char* text = Base64Encode(Bytes(bytes), static_cast<int>(bytes.size()), &count);
    std::string result(reinterpret_cast<char*>(text), static_cast<size_t>(count));
    EXPECT_EQ(text[count], 0);
    MemFree(text);
    return result;
}

// The byte-wise rules, one quantum at a time, as the reference for the table-driven decoder.
std::string ReferenceDecode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    auto d = [&](char c) {
        const size_t i = alphabet.find(c);
        return i == std::string::npos || c == 0 ? 255u : static_cast<unsigned>(i);
    };
    std::string out;
    for (size_t q = 0; q + 4 <= text.size(); q += 4) {
        const char* c = text.data() + q;
        if (c[0] == '=') {
            break;
        }
        unsigned char b0 = static_cast<unsigned char>(d(c[0]) << 2);
        if (c[1] == '=') {
            out += char(b0);
            continue;
        }
        b0 = static_cast<unsigned char>(b0 | (d(c[1]) >> 4));
        const unsigned char b1 = static_cast<unsigned char>(((d(c[1]) & 15) << 4) | (d(c[2]) >> 2));
        if (c[2] == '=') {
            out += char(b0);
            if ((d(c[1]) & 15) != 0) {
                out += char((d(c[1]) & 15) << 4);
            }
            continue;
        }
        out += char(b0);
        out += char(b1);
        if (c[3] == '=') {
            if ((d(c[2]) & 3) != 0) {
                out += char((d(c[2]) & 3) << 6);
            }
            continue;
        }
        out += char(((d(c[2]) & 3) << 6) | d(c[3]));
    }
    return out;
}

}  // namespace

TEST(Base64RoundTrip, RandomBytesOfEveryLengthUpTo1000) {
    std::mt19937 rng(42);
    for (int length = 0; length <= 1000; ++length) {
        std::string bytes(static_cast<size_t>(length), '\0');
        for (char& b : bytes) {
            b = static_cast<char>(rng());
        }
        const std::string text = Encode(bytes);
        ASSERT_EQ(static_cast<int>(text.size()), Base64CalcEncodedSize(length));
        ASSERT_EQ(Decode(text), bytes) << "length " << length;
        int count = -1;
        unsigned char* decoded = Base64Decode(Bytes(text), int(text.size()), nullptr, &count);
        ASSERT_EQ(count, length);
        ASSERT_EQ(std::memcmp(decoded, bytes.data(), bytes.size()), 0);
        ASSERT_EQ(decoded[count], 0);
        MemFree(decoded);
    }
}

TEST(Base64Decoding, ForeignBytesAndPadsFollowTheByteRules) {
    std::mt19937 rng(7);
    const char pool[] = "QUJDYWJj+/=\n \x80\x01";
    for (int round = 0; round < 20000; ++round) {
        std::string text(4 * (rng() % 5), 'A');
        for (char& c : text) {
            c = pool[rng() % (sizeof pool - 1)];
        }
        ASSERT_EQ(Decode(text), ReferenceDecode(text)) << text;
    }
    EXPECT_EQ(Decode("YW\nj"), std::string("a\x7F\xE3"));
    EXPECT_EQ(Decode("YQ==YQ=="), "aa");
    EXPECT_EQ(Decode("=AAA"), "");
    EXPECT_EQ(Decode("YQ===xyzYWJj"), "a");
    EXPECT_EQ(Decode("QR=="), std::string("A\x10"));  // leftover bits make one more byte
    EXPECT_EQ(Decode("Q==="), "@");
}

TEST(Base64Decoding, ShortLastQuantumStaysInsideTheRoom) {
    // Every length mod 4, padded or not: the decoder never writes past n - n / 4 bytes.
    for (const std::string text :
         {"Y", "YW", "YWJ", "YWJjY", "YWJjYW", "YWJjYWI", "YQ=", "=", "==="}) {
        const int room = Base64CalcDecodedSize(int(text.size()));
        unsigned char* heap = static_cast<unsigned char*>(MemAlloc(unsigned(room)));
        const int n = Base64Decode(Bytes(text), heap, int(text.size()), nullptr);
        EXPECT_LE(n, room) << text;
        MemFree(heap);
    }
    EXPECT_EQ(Decode("YWJjYW"), "abca");
    EXPECT_EQ(Decode("YWJjYWI"), "abcab");
}

TEST(Base64Sizes, FormulasAndKnownTexts) {
    const int encoded[] = {0, 4, 4, 4, 8};
    for (int n = 0; n <= 4; ++n) {
        EXPECT_EQ(Base64CalcEncodedSize(n), encoded[n]);
    }
    EXPECT_EQ(Base64CalcDecodedSize(4), 3);
    EXPECT_EQ(Base64CalcDecodedSize(8), 6);
    EXPECT_EQ(Base64CalcDecodedSize(5), 4);
    EXPECT_EQ(Base64CalcEncodedSize(-1), 0);
    EXPECT_EQ(Base64CalcEncodedSize(0x7FFFFFFF), -1);
    EXPECT_EQ(Encode("abc"), "YWJj");
    EXPECT_EQ(Encode("ab"), "YWI=");
    EXPECT_EQ(Encode("a"), "YQ==");
    EXPECT_EQ(Encode("\x40"), "QA==");
    EXPECT_EQ(Encode(std::string("A\0", 2)), "QQA=");
    EXPECT_EQ(Decode("QQA="), std::string("A\0", 2));
}

TEST(Base64Strings, TemporaryStringsAndEmptyInputs) {
    EXPECT_STREQ(Base64DecodeString("SGk=", 0), "Hi");
    EXPECT_EQ(Base64DecodeString("", 0), nullptr);
    EXPECT_EQ(Base64DecodeString(static_cast<const char*>(nullptr), 0), nullptr);
    EXPECT_STREQ(Base64DecodeString("QQBC", 0), "A");  // ends at the first 0 byte
    EXPECT_STREQ(Base64DecodeString(L"SGk=", 65001), L"Hi");
    EXPECT_EQ(Base64DecodeString(L"", 65001), nullptr);

    int count = -1;
    unsigned char* empty = Base64EncodeString("", &count);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(empty[0], 0);
    MemFree(empty);
    EXPECT_EQ(Base64EncodeString(nullptr, &count), nullptr);

    unsigned char* abc = Base64Decode(Bytes("YWJj"), 4, nullptr, &count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::memcmp(abc, "abc", 4), 0);
    MemFree(abc);
}

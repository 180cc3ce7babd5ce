#include <gtest/gtest.h>

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

// Into a heap block of exactly the documented room, so that a write past it is caught.
std::string Decode(const std::string& text) {
    const int n = static_cast<int>(text.size());
    std::vector<unsigned char> out(static_cast<size_t>(Base64CalcDecodedSize(n)));
    return std::string(out.data(), out.data() + Base64Decode(Bytes(text), out.data(), n, nullptr));
}

}  // namespace

TEST(Base64RoundTrip, RandomBytesOfEveryLengthUpTo1000) {
    std::mt19937 rng(42);
    std::string bytes;
    for (int length = 0; length <= 1000; bytes += static_cast<char>(rng()), ++length) {
        int count = -1;
        unsigned char* text = Base64Encode(Bytes(bytes), length, &count);
        const std::string encoded(reinterpret_cast<char*>(text));  // up to the terminator
        MemFree(text);
        ASSERT_EQ(static_cast<int>(encoded.size()), count);
        ASSERT_EQ(count, Base64CalcEncodedSize(length));
        ASSERT_EQ(Decode(encoded), bytes) << "length " << length;
        unsigned char* decoded = Base64Decode(Bytes(encoded), count, nullptr, &count);
        ASSERT_EQ(std::string(reinterpret_cast<char*>(decoded), count + 1u), bytes + '\0');
        MemFree(decoded);
    }
}

// The table-driven loop must give what the byte-wise arithmetic gives for foreign bytes (255).
TEST(Base64Decoding, ForeignBytesEnterTheArithmeticAs255) {
    const std::string pool = "QJj+/\n \x80";
    const unsigned value[] = {16, 9, 35, 62, 63, 255, 255, 255};
    std::mt19937 rng(7);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        unsigned d[4];
        for (unsigned& v : d) {
            const size_t pick = rng() % pool.size();
            text += pool[pick];
            v = value[pick];
        }
        const char expected[] = {char(d[0] << 2 | d[1] >> 4), char((d[1] & 15) << 4 | d[2] >> 2),
                                 char((d[2] & 3) << 6 | d[3])};
        ASSERT_EQ(Decode(text), std::string(expected, 3)) << text;
    }
}

// A pad in a quantum's first place ends decoding, elsewhere it ends the quantum with its leftover
// bits kept (pairs of text and bytes); one to three characters left over stay in the room.
TEST(Base64Decoding, PadsEndQuantaAndKeepLeftoverBits) {
    const std::string cases[] = {"YQ==YQ==",     "aa",        "=AAA",     "",
                                 "YQ===xyzYWJj", "a",         "QR==",     "A\x10",
                                 "QUJ=",         "AB@",       "Q===",     "@",
                                 "\n===",        "\xFC",      "Y\n==",    "o\xF0",
                                 "YW\nj",        "a\x7F\xE3", "Y",        "",
                                 "YW",           "a",         "YWJjYWI",  "abcab",
                                 "YQ=",          "a",         "=",        "",
                                 "===",          "",          "A=BCYQ==", std::string("\0a", 2)};
    for (size_t i = 0; i < std::size(cases); i += 2) {
        EXPECT_EQ(Decode(cases[i]), cases[i + 1]) << cases[i];
    }
}

TEST(Base64Edges, SizesBadCountsTemporaryStringsAndEmptyInputs) {
    EXPECT_EQ(Base64CalcDecodedSize(5), 4);
    EXPECT_EQ(Base64CalcEncodedSize(0x7FFFFFFF), -1);
    // A negative count has room for nothing and writes nothing.
    unsigned char out[4] = {'#', '#', '#', '#'};
    int written = 7;
    EXPECT_EQ(Base64Encode(Bytes("abc"), out, -1, &written), out);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(std::string(out, out + 4), "####");
    Base64Encode(Bytes("\x41"), out, 1, nullptr);
    EXPECT_EQ(std::string(out, out + 4), "QQ==");
    EXPECT_STREQ(Base64DecodeString("SGk=", 0), "Hi");
    EXPECT_STREQ(Base64DecodeString("QQBC", 0), "A");  // ends at the first 0 byte
    EXPECT_EQ(Base64DecodeString("", 0), nullptr);
    EXPECT_EQ(Base64DecodeString(static_cast<const char*>(nullptr), 0), nullptr);
    EXPECT_STREQ(Base64DecodeString(L"SGk=", 65001), L"Hi");
    EXPECT_EQ(Base64DecodeString(L"", 65001), nullptr);
    EXPECT_EQ(Base64EncodeString(nullptr, nullptr), nullptr);
    int count = -1;
    unsigned char* empty = Base64EncodeString("", &count);
    EXPECT_TRUE(empty != nullptr && empty[0] == 0 && count == 0);
    MemFree(empty);
}

#include "tkv/buffer.h"

#include <string>
#include <vector>

#include "tests/support/temp_file.h"
#include "tests/support/wide_text.h"

using TKV::CBuffer;

template <typename T>
class BufferTest : public ::testing::Test {
  protected:
    using Str = std::basic_string<T>;
    static Str S(const char* ascii) { return Text<T>(ascii); }
    // Every line in the line table, read back through GetNext with a null stream.
    static std::vector<Str> Lines(CBuffer<T>& b) {
        std::vector<Str> out;
        std::FILE* none = nullptr;
        for (int i = 0; const T* line = b.GetNext(none, i); ++i) {
            out.push_back(line);
        }
        return out;
    }
    static int Load(CBuffer<T>& b, const std::string& bytes) {
        TempFile file(bytes);
        std::FILE* f = file.Open();
        const int n = b.Load(f);
        std::fclose(f);
        return n;
    }
};
TYPED_TEST_SUITE(BufferTest, BothWidths);

TYPED_TEST(BufferTest,
           LoadCutsLinesDropsCarriageReturnsStopsAtNulAndKeepsLinesWholeAcrossReadSteps) {
    using Str = typename TestFixture::Str;
    CBuffer<TypeParam> b;
    EXPECT_EQ(this->Load(b, "a\r\nb\n\nc"), 4);
    EXPECT_EQ(b.GetLength(), 6);
    EXPECT_EQ(this->Lines(b), (std::vector<Str>{this->S("a"), this->S("b"), Str(), this->S("c")}));
    EXPECT_EQ(this->Load(b, std::string("x\ry\0z", 5)), 2);
    EXPECT_EQ(this->Lines(b), (std::vector<Str>{this->S("xy"), this->S("z")}));
    EXPECT_EQ(this->Load(b, ""), 0);
    EXPECT_EQ(b.GetLength(), 0);
    EXPECT_EQ(b.Load(nullptr), 0);
    // A huge line and many short ones, with CR LF, past several internal read steps.
    std::string bytes(300000, 'q');
    bytes += "\r\n";
    for (int i = 0; i < 50000; ++i) {
        bytes += "line " + std::to_string(i) + "\r\n";
    }
    ASSERT_EQ(this->Load(b, bytes), 50001);
    const auto lines = this->Lines(b);
    EXPECT_EQ(lines[0], this->S(std::string(300000, 'q').c_str()));
    EXPECT_EQ(lines[12345], this->S("line 12344"));
    EXPECT_EQ(lines[50000], this->S("line 49999"));
    // Reloading reuses the storage: the same lines again, nothing moved.
    const TypeParam* before = b.GetBuffer();
    ASSERT_EQ(this->Load(b, bytes), 50001);
    EXPECT_EQ(b.GetBuffer(), before);
}

TYPED_TEST(BufferTest, GetNextToLinesSplitAppendAssignCompareAndFree) {
    CBuffer<TypeParam> b;
    TempFile file("x\ny\n");
    std::FILE* f = file.Open();
    EXPECT_EQ(this->S("x"), b.GetNext(f, 0));
    EXPECT_EQ(this->S("y"), b.GetNext(f, 0));
    EXPECT_EQ(b.GetNext(f, 0), nullptr);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(this->S("y"), b.GetNext(f, 1));

    CBuffer<TypeParam> partial;
    TempFile cut("x\ny");
    f = cut.Open();
    EXPECT_EQ(this->S("x"), partial.GetNext(f, 0));
    EXPECT_EQ(partial.GetNext(f, 0), nullptr);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(partial.GetNext(f, 1), nullptr);
    using Str = typename TestFixture::Str;
    b = this->S("a\r\nb").c_str();
    ASSERT_TRUE(b.ToLines());
    EXPECT_EQ(this->Lines(b), (std::vector<Str>{this->S("a\r"), this->S("b")}));
    b = this->S("a\n").c_str();
    ASSERT_TRUE(b.ToLines());
    EXPECT_EQ(this->Lines(b).size(), 1u);
    b = this->S("").c_str();
    EXPECT_FALSE(b.ToLines());
    b = this->S("a,,b").c_str();
    ASSERT_TRUE(b.Split(','));
    EXPECT_EQ(this->Lines(b), (std::vector<Str>{this->S("a"), Str(), this->S("b")}));
    CBuffer<TypeParam> empty;
    EXPECT_FALSE(empty.Split(','));
    EXPECT_FALSE(empty.ToLines());
    b = this->S("hello").c_str();
    b = this->S("ab").c_str();
    EXPECT_EQ(b == this->S("ab").c_str(), 1);
    b += TypeParam('c');
    b += this->S("de").c_str();
    b.Add(b.GetBuffer(), 2);  // a part of its own text
    EXPECT_EQ(this->S("abcdeab"), b.GetBuffer());

    CBuffer<TypeParam> upper(this->S("B").c_str()), lower(this->S("a").c_str()), none;
    EXPECT_EQ(upper.Compare(lower), -1);
    EXPECT_EQ(none.Compare(upper), -1);
    EXPECT_EQ(upper.Compare(none), 1);

    int line = 7;
    EXPECT_EQ(b.GetResultCount(), 0);
    EXPECT_EQ(b.GetResult(0, line), nullptr);
    EXPECT_EQ(line, 7);
    b.Free();
    EXPECT_EQ(b.GetBuffer(), nullptr);
    b.Add(TypeParam('x'));
    EXPECT_EQ(this->S("x"), b.GetBuffer());
}

TEST(WordDelimiter, ClassifiesBothWidths) {
    for (auto [c, delimits] :
         {std::pair{' ', 1}, {'_', 1}, {'-', 1}, {'\n', 1}, {'a', 0}, {'Z', 0}, {'5', 0}}) {
        EXPECT_EQ(CBuffer<char>::IsWordDelimeter(c), delimits) << int(c);
        EXPECT_EQ(CBuffer<wchar_t>::IsWordDelimeter(static_cast<wchar_t>(c)), delimits) << int(c);
    }
    EXPECT_EQ(CBuffer<char>::IsWordDelimeter('\xE9'), 1);
    EXPECT_EQ(CBuffer<char>::CharEqual("a", "A", false), 0);
    EXPECT_EQ(CBuffer<char>::CharEqual("a", "A", true), 1);
    EXPECT_EQ(CBuffer<char>::CharEqual(L"z", L"Z", true), 1);
    EXPECT_EQ(CBuffer<char>::CharEqual(L"[", L"{", true), 0);
}

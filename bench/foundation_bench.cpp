// Foundation operations beside the C library (or iconv, or malloc) doing the same work.
#include <iconv.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include <benchmark/benchmark.h>

#include "tkv/string_functions.h"
#include "tkv/tmp_string.h"

namespace {

// Printable ASCII text of n characters (not counting the NUL), the same for every run.
template <typename CharT>
std::basic_string<CharT> MakeText(size_t n) {
    std::basic_string<CharT> s(n, CharT(0));
    unsigned int seed = 12345;
    for (auto& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<CharT>('a' + (seed >> 16) % 26);
    }
    return s;
}

template <typename CharT>
std::basic_string<CharT> Upper(std::basic_string<CharT> s) {
    for (auto& c : s)
        c = static_cast<CharT>(c - 'a' + 'A');
    return s;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(16)->Arg(1024)->Arg(1 << 20);
}

void SetBytes(benchmark::State& state, size_t charSize) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0) *
                            static_cast<int64_t>(charSize));
}

// Length ---------------------------------------------------------------------------------------
template <typename CharT>
void BM_StrLength_Ours(benchmark::State& state) {
    const auto text = MakeText<CharT>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(TKV::StrLength(text.c_str()));
    SetBytes(state, sizeof(CharT));
}
void BM_StrLength_Strlen(benchmark::State& state) {
    const auto text = MakeText<char>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(std::strlen(text.c_str()));
    SetBytes(state, 1);
}
void BM_StrLength_Wcslen(benchmark::State& state) {
    const auto text = MakeText<wchar_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(std::wcslen(text.c_str()));
    SetBytes(state, sizeof(wchar_t));
}

// Compare (equal strings: the whole text is read) -----------------------------------------------
template <typename CharT, bool Exact>
void BM_StrCompare_Ours(benchmark::State& state) {
    const auto a = MakeText<CharT>(state.range(0));
    const auto b = Exact ? a : Upper(a);
    for (auto _ : state)
        benchmark::DoNotOptimize(TKV::StrCompare(a.c_str(), b.c_str(), Exact));
    SetBytes(state, sizeof(CharT));
}
void BM_StrCompare_Strcmp(benchmark::State& state) {
    const auto a = MakeText<char>(state.range(0)), b = a;
    for (auto _ : state)
        benchmark::DoNotOptimize(std::strcmp(a.c_str(), b.c_str()));
    SetBytes(state, 1);
}
void BM_StrCompare_Wcscmp(benchmark::State& state) {
    const auto a = MakeText<wchar_t>(state.range(0)), b = a;
    for (auto _ : state)
        benchmark::DoNotOptimize(std::wcscmp(a.c_str(), b.c_str()));
    SetBytes(state, sizeof(wchar_t));
}
void BM_StrCompareNoCase_Strcasecmp(benchmark::State& state) {
    const auto a = MakeText<char>(state.range(0)), b = Upper(a);
    for (auto _ : state)
        benchmark::DoNotOptimize(strcasecmp(a.c_str(), b.c_str()));
    SetBytes(state, 1);
}
void BM_StrCompareNoCase_Wcscasecmp(benchmark::State& state) {
    const auto a = MakeText<wchar_t>(state.range(0)), b = Upper(a);
    for (auto _ : state)
        benchmark::DoNotOptimize(wcscasecmp(a.c_str(), b.c_str()));
    SetBytes(state, sizeof(wchar_t));
}

// Find (the part sits at the very end) ----------------------------------------------------------
template <typename CharT>
std::basic_string<CharT> FindText(size_t n) {
    auto text = MakeText<CharT>(n);
    for (size_t i = n >= 8 ? n - 8 : 0; i < n; ++i)
        text[i] = CharT('0' + i % 8);
    return text;
}
template <typename CharT>
std::basic_string<CharT> FindPart() {
    std::basic_string<CharT> part;
    for (int i = 0; i < 4; ++i)
        part.push_back(CharT('4' + i));
    return part;
}
template <typename CharT>
void BM_StrFind_Ours(benchmark::State& state) {
    const auto text = FindText<CharT>(state.range(0)), part = FindPart<CharT>();
    for (auto _ : state)
        benchmark::DoNotOptimize(TKV::StrFind(text.c_str(), part.c_str()));
    SetBytes(state, sizeof(CharT));
}
void BM_StrFind_Strstr(benchmark::State& state) {
    const auto text = FindText<char>(state.range(0)), part = FindPart<char>();
    for (auto _ : state)
        benchmark::DoNotOptimize(std::strstr(text.c_str(), part.c_str()));
    SetBytes(state, 1);
}
void BM_StrFind_Wcsstr(benchmark::State& state) {
    const auto text = FindText<wchar_t>(state.range(0)), part = FindPart<wchar_t>();
    for (auto _ : state)
        benchmark::DoNotOptimize(std::wcsstr(text.c_str(), part.c_str()));
    SetBytes(state, sizeof(wchar_t));
}

// Convert UTF-8 to wide and back (the largest size a temporary string can take) -----------------
void ConvertSizes(benchmark::internal::Benchmark* b) {
    b->Arg(16)->Arg(1024)->Arg(500000);
}

// Every slot of the ring once at this size, so the loop measures warm slots.
template <typename CharT>
void WarmRing(const CharT* text) {
    for (int i = 0; i < 256; ++i)
        benchmark::DoNotOptimize(TKV::StrConvert(text, 65001));
}

void BM_StrConvertToWide_Ours(benchmark::State& state) {
    const auto text = MakeText<char>(state.range(0));
    WarmRing(text.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(TKV::StrConvert(text.c_str(), 65001));
    SetBytes(state, 1);
}
void BM_StrConvertToNarrow_Ours(benchmark::State& state) {
    const auto text = MakeText<wchar_t>(state.range(0));
    WarmRing(text.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(TKV::StrConvert(text.c_str(), 65001));
    SetBytes(state, 1);
}
// iconv with a descriptor opened once and an output buffer allocated once: the conversion alone.
void RunIconv(benchmark::State& state, const char* to, const char* from, const void* in,
              size_t inBytes, size_t outBytes) {
    iconv_t cd = iconv_open(to, from);
    std::string out(outBytes, '\0');
    for (auto _ : state) {
        char* ip = const_cast<char*>(static_cast<const char*>(in));
        size_t il = inBytes, ol = outBytes;
        char* op = &out[0];
        benchmark::DoNotOptimize(iconv(cd, &ip, &il, &op, &ol));
    }
    iconv_close(cd);
    SetBytes(state, 1);
}
void BM_StrConvertToWide_Iconv(benchmark::State& state) {
    const auto text = MakeText<char>(state.range(0));
    RunIconv(state, "WCHAR_T", "UTF-8", text.c_str(), text.size() + 1,
             (text.size() + 1) * sizeof(wchar_t));
}
void BM_StrConvertToNarrow_Iconv(benchmark::State& state) {
    const auto text = MakeText<wchar_t>(state.range(0));
    RunIconv(state, "UTF-8", "WCHAR_T", text.c_str(), (text.size() + 1) * sizeof(wchar_t),
             (text.size() + 1) * 4);
}

// A temporary string from a warm ring against a heap block per use -------------
void BM_TmpString_Ours(benchmark::State& state) {
    const auto count = static_cast<unsigned int>(state.range(0));
    for (int i = 0; i < 256; ++i) {
        char* s = nullptr;
        TKV::TKVGetTmpString(s, count);
    }
    for (auto _ : state) {
        char* s = nullptr;
        TKV::TKVGetTmpString(s, count);
        benchmark::DoNotOptimize(s);
    }
}
void BM_TmpString_MallocFree(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        char* s = static_cast<char*>(std::malloc(count));
        s[0] = 0;
        benchmark::DoNotOptimize(s);
        std::free(s);
    }
}

}  // namespace

BENCHMARK_TEMPLATE(BM_StrLength_Ours, char)->Apply(Sizes);
BENCHMARK(BM_StrLength_Strlen)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrLength_Ours, wchar_t)->Apply(Sizes);
BENCHMARK(BM_StrLength_Wcslen)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrCompare_Ours, char, true)->Apply(Sizes);
BENCHMARK(BM_StrCompare_Strcmp)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrCompare_Ours, wchar_t, true)->Apply(Sizes);
BENCHMARK(BM_StrCompare_Wcscmp)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrCompare_Ours, char, false)->Apply(Sizes);
BENCHMARK(BM_StrCompareNoCase_Strcasecmp)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrCompare_Ours, wchar_t, false)->Apply(Sizes);
BENCHMARK(BM_StrCompareNoCase_Wcscasecmp)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrFind_Ours, char)->Apply(Sizes);
BENCHMARK(BM_StrFind_Strstr)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_StrFind_Ours, wchar_t)->Apply(Sizes);
BENCHMARK(BM_StrFind_Wcsstr)->Apply(Sizes);
BENCHMARK(BM_StrConvertToWide_Ours)->Apply(ConvertSizes);
BENCHMARK(BM_StrConvertToWide_Iconv)->Apply(ConvertSizes);
BENCHMARK(BM_StrConvertToNarrow_Ours)->Apply(ConvertSizes);
BENCHMARK(BM_StrConvertToNarrow_Iconv)->Apply(ConvertSizes);
BENCHMARK(BM_TmpString_Ours)->Apply(ConvertSizes);
BENCHMARK(BM_TmpString_MallocFree)->Apply(ConvertSizes);

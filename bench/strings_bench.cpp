// Base64 against OpenSSL's block coder, and String's search and replace against std::wstring.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "tkv/base64.h"
#include "tkv/string.h"

namespace {

constexpr int kBase64Bytes = 64 << 20;

const std::vector<unsigned char>& RandomBytes() {
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> b(kBase64Bytes);
        std::mt19937 rng(1);
        for (auto& x : b) {
            x = static_cast<unsigned char>(rng());
        }
        return b;
    }();
    return bytes;
}

const std::vector<unsigned char>& EncodedText() {
    static const std::vector<unsigned char> text = [] {
        std::vector<unsigned char> t(static_cast<size_t>(TKV::Base64CalcEncodedSize(kBase64Bytes)));
        TKV::Base64Encode(const_cast<unsigned char*>(RandomBytes().data()), t.data(), kBase64Bytes,
                          nullptr);
        return t;
    }();
    return text;
}

void BM_Base64Encode_Ours(benchmark::State& state) {
    std::vector<unsigned char> out(EncodedText().size() + 1);
    for (auto _ : state) {
        TKV::Base64Encode(const_cast<unsigned char*>(RandomBytes().data()), out.data(),
                          kBase64Bytes, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kBase64Bytes);
}

void BM_Base64Encode_OpenSSL(benchmark::State& state) {
    std::vector<unsigned char> out(EncodedText().size() + 1);
    for (auto _ : state) {
        EVP_EncodeBlock(out.data(), RandomBytes().data(), kBase64Bytes);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kBase64Bytes);
}

void BM_Base64Decode_Ours(benchmark::State& state) {
    std::vector<unsigned char> out(kBase64Bytes + 3);
    const int n = static_cast<int>(EncodedText().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(TKV::Base64Decode(const_cast<unsigned char*>(EncodedText().data()),
                                                   out.data(), n, nullptr));
    }
    state.SetBytesProcessed(state.iterations() * kBase64Bytes);
}

void BM_Base64Decode_OpenSSL(benchmark::State& state) {
    std::vector<unsigned char> out(kBase64Bytes + 3);
    const int n = static_cast<int>(EncodedText().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), EncodedText().data(), n));
    }
    state.SetBytesProcessed(state.iterations() * kBase64Bytes);
}

// 1 MiB of wide text (256 Ki characters) over a small alphabet, with a near miss "needlx" at
// every 4 Ki characters and "needle" every 64 Ki characters and once more at the very end.
std::wstring Text() {
    std::wstring text;
    std::mt19937 rng(2);
    const size_t chars = (1u << 20) / sizeof(wchar_t);
    while (text.size() < chars) {
        text += static_cast<wchar_t>(L'a' + rng() % 20);
        if (text.size() % 4096 == 0) {
            text += text.size() % 65536 == 0 ? L"needle" : L"needlx";
        }
    }
    text.resize(chars - 16);
    text += L"needlx needle!";
    return text;
}

const std::wstring& TheText() {
    static const std::wstring text = Text();
    return text;
}

// "needle!" stands only at the very end: one search over the whole text.
void BM_StringFind_Ours(benchmark::State& state) {
    const TKV::String s(TheText().c_str());
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.Find(L"needle!", 0));
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}

void BM_StringFind_StdWstring(benchmark::State& state) {
    const std::wstring& s = TheText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.find(L"needle!", 0));
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}

void BM_StringReplace_Ours(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TKV::String s(TheText().c_str());
        state.ResumeTiming();
        benchmark::DoNotOptimize(s.Replace(L"needle", L"pin"));
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}

// The usual find/replace loop, building the result in a second string as it goes.
void BM_StringReplace_StdWstring(benchmark::State& state) {
    const std::wstring oldText = L"needle", newText = L"pin";
    for (auto _ : state) {
        state.PauseTiming();
        std::wstring s = TheText();
        state.ResumeTiming();
        std::wstring out;
        out.reserve(s.size());
        size_t from = 0;
        for (size_t p; (p = s.find(oldText, from)) != std::wstring::npos;
             from = p + oldText.size()) {
            out.append(s, from, p - from).append(newText);
        }
        out.append(s, from, std::wstring::npos);
        s.swap(out);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}

}  // namespace

BENCHMARK(BM_Base64Encode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Encode_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringFind_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringFind_StdWstring)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringReplace_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringReplace_StdWstring)->Unit(benchmark::kMicrosecond);

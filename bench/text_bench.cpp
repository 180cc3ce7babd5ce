// Buffer search and file loading beside the standard library's Horspool searcher, the C
// library's memmem/wcsstr, a naive loop, and fread with a line count.
#include <string.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "tkv/buffer.h"

namespace {

constexpr size_t kTextBytes = 64u << 20;
constexpr int kPlanted = 64;

unsigned int Next(unsigned int& seed) {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
}

// 64 MiB of lower-case words in lines of about 60 characters, with the pattern of m letters
// planted kPlanted times at even distances, so a search counts lines through the whole text.
template <typename T>
const std::basic_string<T>& Corpus() {
    static const std::basic_string<T> text = [] {
        std::basic_string<T> s(kTextBytes / sizeof(T), T(' '));
        unsigned int seed = 7;
        size_t column = 0;
        for (size_t i = 0; i < s.size(); ++i, ++column) {
            const unsigned int r = Next(seed) % 32;
            if (column > 55 && r < 4) {
                s[i] = T('\n');
                column = 0;
            } else {
                s[i] = r < 26 ? T('a' + r) : T(' ');
            }
        }
        return s;
    }();
    return text;
}

template <typename T>
std::basic_string<T> Pattern(size_t m) {
    std::basic_string<T> p(m, T('a'));
    unsigned int seed = static_cast<unsigned int>(m);
    for (auto& c : p) {
        c = T('a' + Next(seed) % 26);
    }
    return p;
}

// The corpus with the pattern planted.
template <typename T>
std::basic_string<T> TextFor(const std::basic_string<T>& p) {
    std::basic_string<T> text = Corpus<T>();
    for (int k = 0; k < kPlanted; ++k) {
        std::copy(p.begin(), p.end(), text.begin() + (text.size() / kPlanted) * k + 7);
    }
    return text;
}

void Report(benchmark::State& state, size_t bytes, size_t hits) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["hits"] = static_cast<double>(hits);
}

template <typename T>
void BM_Search_Ours(benchmark::State& state, unsigned long flags) {
    const auto p = Pattern<T>(static_cast<size_t>(state.range(0)));
    const auto text = TextFor(p);
    TKV::CBuffer<T> buffer(text.c_str());
    TKV::CSearchQuery<T> query;
    query.SetTerm(p.c_str(), 0, (flags & 1) != 0);
    size_t hits = 0;
    for (auto _ : state) {
        hits = buffer.Search(buffer.GetBuffer(), buffer.GetLength(), flags, query, nullptr, nullptr,
                             T('\n'));
    }
    Report(state, text.size() * sizeof(T), hits);
}

void BM_Search_Ours_Narrow(benchmark::State& state) {
    BM_Search_Ours<char>(state, 0);
}
void BM_Search_Ours_NarrowNoCase(benchmark::State& state) {
    BM_Search_Ours<char>(state, 1);
}
void BM_Search_Ours_Wide(benchmark::State& state) {
    BM_Search_Ours<wchar_t>(state, 0);
}
void BM_Search_Ours_WideNoCase(benchmark::State& state) {
    BM_Search_Ours<wchar_t>(state, 1);
}

template <typename T>
void BM_Search_Horspool(benchmark::State& state) {
    const auto p = Pattern<T>(static_cast<size_t>(state.range(0)));
    const auto text = TextFor(p);
    const std::boyer_moore_horspool_searcher searcher(p.begin(), p.end());
    size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (auto it = text.begin();;) {
            const auto found = searcher(it, text.end());
            if (found.first == found.second) {
                break;
            }
            ++hits;
            it = found.second;
        }
        benchmark::DoNotOptimize(hits);
    }
    Report(state, text.size() * sizeof(T), hits);
}

void BM_Search_Memmem(benchmark::State& state) {
    const auto p = Pattern<char>(static_cast<size_t>(state.range(0)));
    const auto text = TextFor(p);
    size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        const char* end = text.data() + text.size();
        for (const char* s = text.data();; ++hits) {
            s = static_cast<const char*>(
                memmem(s, static_cast<size_t>(end - s), p.data(), p.size()));
            if (s == nullptr) {
                break;
            }
            s += p.size();
        }
        benchmark::DoNotOptimize(hits);
    }
    Report(state, text.size(), hits);
}

void BM_Search_Wcsstr(benchmark::State& state) {
    const auto p = Pattern<wchar_t>(static_cast<size_t>(state.range(0)));
    const auto text = TextFor(p);
    size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const wchar_t* s = text.c_str(); (s = std::wcsstr(s, p.c_str())) != nullptr; ++hits) {
            s += p.size();
        }
        benchmark::DoNotOptimize(hits);
    }
    Report(state, text.size() * sizeof(wchar_t), hits);
}

template <typename T>
void BM_Search_Naive(benchmark::State& state) {
    const auto p = Pattern<T>(static_cast<size_t>(state.range(0)));
    const auto text = TextFor(p);
    const size_t n = text.size(), m = p.size();
    size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (size_t w = 0; w + m <= n;) {
            size_t i = 0;
            while (i < m && text[w + i] == p[i]) {
                ++i;
            }
            if (i == m) {
                ++hits;
                w += m;
            } else {
                ++w;
            }
        }
        benchmark::DoNotOptimize(hits);
    }
    Report(state, n * sizeof(T), hits);
}

void Lengths(benchmark::internal::Benchmark* b) {
    b->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Search_Ours_Narrow)->Apply(Lengths);
BENCHMARK(BM_Search_Horspool<char>)->Apply(Lengths);
BENCHMARK(BM_Search_Memmem)->Apply(Lengths);
BENCHMARK(BM_Search_Naive<char>)->Apply(Lengths);
BENCHMARK(BM_Search_Ours_NarrowNoCase)->Apply(Lengths);
BENCHMARK(BM_Search_Ours_Wide)->Apply(Lengths);
BENCHMARK(BM_Search_Horspool<wchar_t>)->Apply(Lengths);
BENCHMARK(BM_Search_Wcsstr)->Apply(Lengths);
BENCHMARK(BM_Search_Naive<wchar_t>)->Apply(Lengths);
BENCHMARK(BM_Search_Ours_WideNoCase)->Apply(Lengths);

// Loading ---------------------------------------------------------------------------------------

// The narrow corpus as a file, written once.
const char* CorpusFile() {
    static const std::string path = [] {
        std::string name = "/tmp/tkv_text_bench_XXXXXX";
        const int fd = mkstemp(name.data());
        std::FILE* f = fdopen(fd, "wb");
        const auto& text = Corpus<char>();
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        std::atexit([] { std::remove(CorpusFile()); });
        return name;
    }();
    return path.c_str();
}

// Into a buffer kept between runs, as an agent reloading a file would (argument 1), or into a
// new buffer each time (argument 0), which pays for the fresh pages.
void BM_Load_Ours(benchmark::State& state) {
    const char* path = CorpusFile();
    auto kept = std::make_unique<TKV::CBuffer<char>>();
    std::FILE* first = std::fopen(path, "rb");
    kept->Load(first);  // the storage is sized once
    std::fclose(first);
    int lines = 0;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            kept = std::make_unique<TKV::CBuffer<char>>();
        }
        std::FILE* f = std::fopen(path, "rb");
        lines = kept->Load(f);
        std::fclose(f);
    }
    Report(state, kTextBytes, static_cast<size_t>(lines));
}

// The obvious reader: a 64 KiB block at a time, counting line feeds.
void BM_Load_FreadCountLines(benchmark::State& state) {
    const char* path = CorpusFile();
    std::string chunk(64 * 1024, '\0');
    size_t lines = 0;
    for (auto _ : state) {
        std::FILE* f = std::fopen(path, "rb");
        lines = 0;
        for (size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0;) {
            lines += static_cast<size_t>(std::count(chunk.data(), chunk.data() + got, '\n'));
        }
        std::fclose(f);
        benchmark::DoNotOptimize(lines);
    }
    Report(state, kTextBytes, lines);
}

// The whole file into one block kept between runs, as Load keeps its text, with the line count.
void BM_Load_FreadWholeCountLines(benchmark::State& state) {
    const char* path = CorpusFile();
    std::string text(kTextBytes, '\0');
    size_t lines = 0;
    for (auto _ : state) {
        std::FILE* f = std::fopen(path, "rb");
        const size_t got = std::fread(text.data(), 1, text.size(), f);
        lines = static_cast<size_t>(std::count(text.data(), text.data() + got, '\n'));
        std::fclose(f);
        benchmark::DoNotOptimize(lines);
    }
    Report(state, kTextBytes, lines);
}

BENCHMARK(BM_Load_Ours)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_FreadWholeCountLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_FreadCountLines)->Unit(benchmark::kMillisecond);

}  // namespace

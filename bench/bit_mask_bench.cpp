// CBitMask set and test over 10^7 bits against std::vector<bool>.
#include <benchmark/benchmark.h>

#include <vector>

#include "tkv/bit_mask.h"

namespace {

constexpr unsigned int kBits = 10000000;

// Every third bit set, then every bit tested, in a mask sized up front.
void BM_BitMaskSetTest_Ours(benchmark::State& state) {
    TKV::CBitMask mask;
    mask.SetSize(kBits, false);
    for (auto _ : state) {
        for (unsigned int bit = 0; bit < kBits; bit += 3) {
            mask.Set(bit, true);
        }
        unsigned int set = 0;
        for (unsigned int bit = 0; bit < kBits; ++bit) {
            set += mask.IsSet(bit) ? 1 : 0;
        }
        benchmark::DoNotOptimize(set);
    }
}

void BM_BitMaskSetTest_VectorBool(benchmark::State& state) {
    std::vector<bool> mask(kBits);
    for (auto _ : state) {
        for (unsigned int bit = 0; bit < kBits; bit += 3) {
            mask[bit] = true;
        }
        unsigned int set = 0;
        for (unsigned int bit = 0; bit < kBits; ++bit) {
            set += mask[bit] ? 1 : 0;
        }
        benchmark::DoNotOptimize(set);
    }
}

// Growth on access: bits set in increasing order from an empty default mask.
void BM_BitMaskGrowingSet_Ours(benchmark::State& state) {
    for (auto _ : state) {
        TKV::CBitMask mask;
        for (unsigned int bit = 0; bit < kBits; bit += 3) {
            mask.Set(bit, true);
        }
        benchmark::DoNotOptimize(mask.IsSet(kBits - 1));
    }
}

void BM_BitMaskGrowingSet_VectorBool(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<bool> mask;
        for (unsigned int bit = 0; bit < kBits; bit += 3) {
            if (bit >= mask.size()) {
                mask.resize(bit + 256);
            }
            mask[bit] = true;
        }
        benchmark::DoNotOptimize(mask.back());
    }
}

}  // namespace

BENCHMARK(BM_BitMaskSetTest_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitMaskSetTest_VectorBool)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitMaskGrowingSet_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitMaskGrowingSet_VectorBool)->Unit(benchmark::kMillisecond);

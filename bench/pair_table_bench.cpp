// The pair table of 2000 individuals at 20 codominant loci with 10 to 15
// alleles and non-zero error rates, against a plain loop doing the same
// S x S x L table lookups and additions.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <vector>

#include "companion_fixture.h"
#include "pairwise/data_process.h"
#include "pairwise/genotype_prob.h"
#include "pairwise/likelihood.h"

namespace {

constexpr int kSample = 2000;
constexpr int kLoci = 20;

struct NullBuf : std::streambuf {
  int overflow(int c) override { return c; }
};

pairwise::Variables& Sample() {
  static pairwise::Variables v = [] {
    std::vector<int> dom(kLoci, 0);
    std::vector<double> drop(kLoci, 0.02), other(kLoci, 0.01);
    pairwise::Variables w = testutil::MakeCompanionData(kSample, dom, drop, other);
    std::uint64_t s = 12345;
    auto next = [&s] {
      s = s * 6364136223846793005ull + 1442695040888963407ull;
      return static_cast<double>(s >> 11) * 0x1.0p-53;
    };
    for (int l = 1; l <= kLoci; ++l) {
      const int n = 10 + (l - 1) % 6;
      for (int i = 1; i <= kSample; ++i) {
        if (next() < 0.05) continue;  // untyped
        testutil::SetGenotype(w, i, l, 1 + static_cast<int>(next() * n), 1 + static_cast<int>(next() * n));
      }
    }
    pairwise::DataProcess(w);
    pairwise::BuildErrorModel(w);
    pairwise::BuildLikelihoodTables(w);
    return w;
  }();
  return v;
}

void BM_CalculatePairProb(benchmark::State& state) {
  pairwise::Variables& v = Sample();
  NullBuf buf;
  std::ostream console(&buf);
  for (auto _ : state) {
    pairwise::CalculatePairProb(v, console);
    benchmark::DoNotOptimize(v.PrbPOPairData.data());
  }
  state.SetItemsProcessed(state.iterations() * kSample * kSample);
}
BENCHMARK(BM_CalculatePairProb)->Unit(benchmark::kMillisecond);

// The floor: per pair, one lookup and one addition per locus, no floor logic.
void BM_PlainLookupLoop(benchmark::State& state) {
  const pairwise::Variables& v = Sample();
  std::vector<int> num(static_cast<std::size_t>(kSample) * kLoci);  // individual-major
  for (int i = 1; i <= kSample; ++i)
    for (int l = 1; l <= kLoci; ++l) {
      const auto& t = v.LikTables.Locus[static_cast<std::size_t>(l)];
      num[static_cast<std::size_t>((i - 1) * kLoci + l - 1)] =
          pairwise::LocusGenotypeNumber(false, t.NumAllele, v.IndivGtype(1, l, i), v.IndivGtype(2, l, i));
    }
  std::vector<float> table(static_cast<std::size_t>(kSample) * kSample);
  for (auto _ : state) {
    for (int c = 0; c < kSample; ++c) {
      const int* gc = &num[static_cast<std::size_t>(c) * kLoci];
      for (int m = 0; m < kSample; ++m) {
        const int* gm = &num[static_cast<std::size_t>(m) * kLoci];
        double h = 0.0;
        for (int l = 0; l < kLoci; ++l) {
          const auto& t = v.LikTables.Locus[static_cast<std::size_t>(l + 1)];
          h += t.Term[static_cast<std::size_t>(gc[l]) * static_cast<std::size_t>(t.NumGtype + 1) +
                      static_cast<std::size_t>(gm[l])];
        }
        table[static_cast<std::size_t>(m) * kSample + static_cast<std::size_t>(c)] = static_cast<float>(h);
      }
    }
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(state.iterations() * kSample * kSample);
}
BENCHMARK(BM_PlainLookupLoop)->Unit(benchmark::kMillisecond);

}  // namespace

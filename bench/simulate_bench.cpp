// One bootstrap replicate's simulation and sample file: a population of
// 5 age classes per sex (about 4000 members), a sample of 1000 individuals
// and 20 codominant loci with 12 alleles and non-zero error rates.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "estimation/bootstrap.h"
#include "estimation/replicate_writer.h"
#include "estimation/simulate.h"

namespace {

constexpr int kLoci = 20;
constexpr int kAlleles = 12;

estimation::AgeVariables MakeInputs() {
  estimation::AgeVariables av;
  av.NumAgeClass = {10, 5, 5};
  av.MaxNumAgeClass = 5;
  av.SmplSize = 1000;
  av.Estimate[0].Reset(1, 10, 1, 4, 0.0);
  av.SexAgeSize.Reset(0, 5, 1, 2, 0);
  const double P[5] = {0.05, 0.1, 0.15, 0.12, 0.08};
  const double N[5] = {600, 500, 400, 300, 200};
  const int n[6] = {120, 100, 90, 70, 70, 50};
  for (int s = 1; s <= 2; ++s) {
    for (int i = 1; i <= 5; ++i) {
      av.Estimate[0]((s - 1) * 5 + i, 1) = P[i - 1];
      av.Estimate[0]((s - 1) * 5 + i, 2) = N[i - 1];
    }
    for (int i = 0; i <= 5; ++i) av.SexAgeSize(i, s) = n[i];
  }
  estimation::BuildSimulationInputs(av);
  av.NumLoci = kLoci;
  av.MaxObsNumAllele = kAlleles;
  av.ObsNumAllele.assign(kLoci + 1, kAlleles);
  av.Dominant.assign(kLoci + 1, 0);
  av.DropRate.assign(kLoci + 1, 0.02);
  av.OtherRate.assign(kLoci + 1, 0.01);
  av.ObsMissingShare.assign(kLoci + 1, 0.05);
  av.ObsAlleleFre.Reset(1, kLoci, 1, kAlleles, 1.0 / kAlleles);
  av.ObsAlleleCode.Reset(1, kLoci, 1, kAlleles, 1);
  av.MarkerID.assign(kLoci + 1, "Loc");
  for (int l = 1; l <= kLoci; ++l) av.MarkerID[l] += std::to_string(l);
  av.DatasetName = "Bench";
  av.FName[1] = "Bench";
  av.ConfidenceLevel = "95";
  av.PropPrntSampled = {0.0, 0.5, 0.5};
  return av;
}

void BM_Simulate(benchmark::State& state) {
  estimation::AgeVariables av = MakeInputs();
  estimation::SimuPopulation pop;
  estimation::SimuSample sample;
  for (auto _ : state) {
    estimation::Simulate(av, pop, sample);
    benchmark::DoNotOptimize(sample.Gtype.data());
  }
}
BENCHMARK(BM_Simulate)->Unit(benchmark::kMillisecond);

void BM_WriteVimbrelData(benchmark::State& state) {
  estimation::AgeVariables av = MakeInputs();
  estimation::SimuPopulation pop;
  estimation::SimuSample sample;
  estimation::Simulate(av, pop, sample);
  const auto dir = std::filesystem::temp_directory_path() / "simulate_bench";
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  for (auto _ : state) estimation::WriteVimbrelData(av, sample);
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteVimbrelData)->Unit(benchmark::kMillisecond);

}  // namespace

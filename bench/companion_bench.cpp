// The companion program on a 2000-individual, 20-locus sample with half of
// the parents sampled, phase by phase: pair table, threshold simulation,
// assignment, and the whole run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pairwise/assignment.h"
#include "pairwise/companion.h"
#include "pairwise/data_process.h"
#include "pairwise/likelihood.h"
#include "pairwise/sample_reader.h"
#include "pairwise/thresholds.h"
#include "sample_generator.h"
namespace {

// Scratch directory with the sample, made once for all benchmarks.
const std::filesystem::path& SampleDir() {
  static const std::filesystem::path dir = [] {
    const auto d = std::filesystem::temp_directory_path() / "companion_bench";
    std::filesystem::create_directories(d);
    testutil::SamplePlan s;
    s.SmplSize = 2000;
    s.NumLoci = 20;
    s.NumAlleles = 10;
    s.NumAgeClass = {0, 5, 5};
    s.MinParentAge = {0, 1, 1};
    s.PropPrntSampled = {0.0, 0.5, 0.5};
    s.DropRate = 0.01;
    s.OtherErrorRate = 0.01;
    s.MissingRate = 0.02;
    s.Seed = 99;
    s.FName = "Bench";
    std::ofstream(d / "AgeSexGtype.dat") << testutil::GenerateSample(s).Text;
    std::filesystem::current_path(d);
    return d;
  }();
  return dir;
}

// Module data up to the likelihood tables (before the pair table).
pairwise::Variables Prepared() {
  SampleDir();
  pairwise::Variables v;
  pairwise::ReadData(v);
  pairwise::CreateTables(v);
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  pairwise::BuildLikelihoodTables(v);
  return v;
}

const pairwise::Variables& WithPairTable() {
  static const pairwise::Variables v = [] {
    pairwise::Variables w = Prepared();
    std::ostringstream quiet;
    pairwise::CalculatePairProb(w, quiet);
    return w;
  }();
  return v;
}

void BM_PairTable(benchmark::State& state) {
  pairwise::Variables v = Prepared();
  std::ostringstream quiet;
  for (auto _ : state) {
    pairwise::CalculatePairProb(v, quiet);
    benchmark::DoNotOptimize(v.PrbPOPairData.data());
  }
}

void BM_ThresholdSimulation(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    pairwise::Variables v = WithPairTable();
    std::ostringstream quiet;
    state.ResumeTiming();
    pairwise::DetermineDeltaValue(v, quiet);
    benchmark::DoNotOptimize(v.Threshold);
  }
}

void BM_Assignment(benchmark::State& state) {
  pairwise::Variables v = WithPairTable();
  std::ostringstream quiet;
  pairwise::DetermineDeltaValue(v, quiet);
  for (auto _ : state) {
    std::vector<double> IndivLogL(static_cast<std::size_t>(v.SmplSize) + 1, 0.0);
    for (int i = 1; i <= v.SmplSize; ++i) IndivLogL[static_cast<std::size_t>(i)] = pairwise::SingleIndivLikelihood(v, v.IndivG(i));
    pairwise::SingleParentLikelihood(v);
    for (int s = 1; s <= 2; ++s) pairwise::WriteAssignmentFile(v, s, IndivLogL);
  }
}

void BM_WholeCompanion(benchmark::State& state) {
  SampleDir();
  for (auto _ : state) {
    std::ostringstream console;
    benchmark::DoNotOptimize(pairwise::RunCompanion(console));
  }
}

}  // namespace

BENCHMARK(BM_PairTable)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ThresholdSimulation)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Assignment)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WholeCompanion)->Unit(benchmark::kMillisecond)->Iterations(1);

#include "sample_generator.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

namespace testutil {

namespace {

// SplitMix64: the generator's own stream, independent of the programs'.
class Stream {
 public:
  explicit Stream(std::uint64_t seed) : x_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (x_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  int Below(int n) { return static_cast<int>(Uniform() * n); }  // 0..n-1
  bool Chance(double p) { return Uniform() < p; }

 private:
  std::uint64_t x_;
};

struct Animal {
  int sex = 1, age = 0;
  int father = -1, mother = -1;        // population index, -1 for a founder
  std::vector<std::array<int, 2>> g;   // true alleles per locus, 1-based allele index
};

int DrawCategory(Stream& rng, const std::vector<double>& cum) {
  const double u = rng.Uniform();
  for (std::size_t i = 0; i + 1 < cum.size(); ++i)
    if (u < cum[i]) return static_cast<int>(i) + 1;
  return static_cast<int>(cum.size());
}

// Allele frequencies of each locus as cumulative sums; a dominant locus has
// the dominant allele 1 at a lower frequency than the recessive allele 2.
std::vector<std::vector<double>> AlleleFrequencies(const SamplePlan& s, Stream& rng) {
  std::vector<std::vector<double>> cum(static_cast<std::size_t>(s.NumLoci));
  for (int l = 0; l < s.NumLoci; ++l) {
    const bool dominant = l >= s.NumLoci - s.NumDominantLoci;
    std::vector<double> w;
    if (dominant) {
      const double p = 0.2 + 0.3 * rng.Uniform();
      w = {p, 1.0 - p};
    } else {
      for (int a = 0; a < s.NumAlleles; ++a) w.push_back(0.2 + rng.Uniform());
    }
    const double total = std::accumulate(w.begin(), w.end(), 0.0);
    double run = 0.0;
    for (double x : w) cum[static_cast<std::size_t>(l)].push_back(run += x / total);
  }
  return cum;
}

// Age with a survival of 0.7 per year.
int DrawAge(Stream& rng, int maxAge) {
  std::vector<double> cum;
  double total = 0.0;
  for (int a = 0; a <= maxAge; ++a) total += std::pow(0.7, a);
  double run = 0.0;
  for (int a = 0; a <= maxAge; ++a) cum.push_back(run += std::pow(0.7, a) / total);
  return DrawCategory(rng, cum) - 1;
}

// Population of both sexes, older ones first so that parents come before
// their offspring; an animal without a possible father or mother is a founder.
std::vector<Animal> MakePopulation(const SamplePlan& s, int males, int females, Stream& rng) {
  const auto freq = AlleleFrequencies(s, rng);
  std::vector<Animal> pop(static_cast<std::size_t>(males + females));
  for (std::size_t i = 0; i < pop.size(); ++i) {
    pop[i].sex = static_cast<int>(i) < males ? 1 : 2;
    pop[i].age = DrawAge(rng, s.NumAgeClass[static_cast<std::size_t>(pop[i].sex)]);
  }
  std::stable_sort(pop.begin(), pop.end(), [](const Animal& a, const Animal& b) { return a.age > b.age; });
  for (std::size_t i = 0; i < pop.size(); ++i) {
    Animal& x = pop[i];
    std::array<std::vector<int>, 3> eligible;
    for (std::size_t j = 0; j < i; ++j) {
      const Animal& y = pop[j];
      if (y.age - s.MinParentAge[static_cast<std::size_t>(y.sex)] >= x.age)
        eligible[static_cast<std::size_t>(y.sex)].push_back(static_cast<int>(j));
    }
    if (!eligible[1].empty() && !eligible[2].empty()) {
      x.father = eligible[1][static_cast<std::size_t>(rng.Below(static_cast<int>(eligible[1].size())))];
      x.mother = eligible[2][static_cast<std::size_t>(rng.Below(static_cast<int>(eligible[2].size())))];
    }
    x.g.resize(static_cast<std::size_t>(s.NumLoci));
    for (int l = 0; l < s.NumLoci; ++l) {
      auto& g = x.g[static_cast<std::size_t>(l)];
      if (x.father < 0) {
        g = {DrawCategory(rng, freq[static_cast<std::size_t>(l)]), DrawCategory(rng, freq[static_cast<std::size_t>(l)])};
      } else {
        g[0] = pop[static_cast<std::size_t>(x.father)].g[static_cast<std::size_t>(l)][static_cast<std::size_t>(rng.Below(2))];
        g[1] = pop[static_cast<std::size_t>(x.mother)].g[static_cast<std::size_t>(l)][static_cast<std::size_t>(rng.Below(2))];
      }
    }
  }
  return pop;
}

// Allele codes as a sizing machine reports them.
int AlleleCode(int allele) { return 100 + 3 * allele; }

// The typed codes of one locus: missing (0 0), dropout of a heterozygote,
// other errors per allele; a dominant locus gives one phenotype code.
std::string TypedLocus(const SamplePlan& s, bool dominant, std::array<int, 2> g, Stream& rng) {
  if (rng.Chance(s.MissingRate)) return dominant ? " 0" : " 0 0";
  if (dominant) {
    int phenotype = (g[0] == 1 || g[1] == 1) ? 1 : 2;
    if (rng.Chance(s.OtherErrorRate)) phenotype = 3 - phenotype;
    return std::string(" ") + std::to_string(phenotype);
  }
  if (g[0] != g[1] && rng.Chance(s.DropRate)) {
    const auto keep = static_cast<std::size_t>(rng.Below(2));
    g[1 - keep] = g[keep];
  }
  for (int& a : g)
    if (rng.Chance(s.OtherErrorRate)) a = 1 + rng.Below(s.NumAlleles);
  return std::string(" ") + std::to_string(AlleleCode(g[0])) + " " + std::to_string(AlleleCode(g[1]));
}

// Chooses the sampled animals: a share PropPrntSampled of each sex, as far
// as the sample size allows, in a shuffled order.
std::vector<int> ChooseSample(const SamplePlan& s, const std::vector<Animal>& pop, Stream& rng) {
  std::array<std::vector<int>, 3> bySex;
  for (std::size_t i = 0; i < pop.size(); ++i) bySex[static_cast<std::size_t>(pop[i].sex)].push_back(static_cast<int>(i));
  std::vector<int> chosen;
  const int males = std::min(s.SmplSize, static_cast<int>(std::lround(bySex[1].size() * s.PropPrntSampled[1])));
  for (int k = 1; k <= 2; ++k) {
    auto& pool = bySex[static_cast<std::size_t>(k)];
    for (std::size_t i = pool.size(); i > 1; --i) std::swap(pool[i - 1], pool[static_cast<std::size_t>(rng.Below(static_cast<int>(i)))]);
    const int want = k == 1 ? males : s.SmplSize - males;
    for (int i = 0; i < want && i < static_cast<int>(pool.size()); ++i) chosen.push_back(pool[static_cast<std::size_t>(i)]);
  }
  for (std::size_t i = chosen.size(); i > 1; --i) std::swap(chosen[i - 1], chosen[static_cast<std::size_t>(rng.Below(static_cast<int>(i)))]);
  return chosen;
}

std::string JoinRates(int n, double rate) {
  std::ostringstream o;
  for (int l = 0; l < n; ++l) o << (l ? " " : "") << rate;
  return o.str();
}

}  // namespace

GeneratedSample GenerateSample(const SamplePlan& s) {
  Stream rng(s.Seed);
  const double both = s.PropPrntSampled[1] + s.PropPrntSampled[2];
  const int perSex = static_cast<int>(std::ceil(s.SmplSize / both)) + 1;
  const std::vector<Animal> pop = MakePopulation(s, perSex, perSex, rng);
  const std::vector<int> chosen = ChooseSample(s, pop, rng);
  const int n = static_cast<int>(chosen.size());

  GeneratedSample out;
  out.ID.assign(static_cast<std::size_t>(n) + 1, "");
  out.Sex.assign(static_cast<std::size_t>(n) + 1, 0);
  out.Age = out.Sex;
  out.TrueFather = out.TrueMother = out.KnownFather = out.KnownMother = out.Sex;
  std::vector<int> sampleIndex(pop.size(), 0);
  for (int i = 1; i <= n; ++i) sampleIndex[static_cast<std::size_t>(chosen[static_cast<std::size_t>(i - 1)])] = i;
  for (int i = 1; i <= n; ++i) {
    const Animal& a = pop[static_cast<std::size_t>(chosen[static_cast<std::size_t>(i - 1)])];
    const auto iz = static_cast<std::size_t>(i);
    out.ID[iz].assign(1, a.sex == 1 ? 'M' : 'F');
    out.ID[iz] += std::to_string(1000 + i);
    out.Sex[iz] = a.sex;
    out.Age[iz] = a.age;
    if (a.father >= 0) out.TrueFather[iz] = sampleIndex[static_cast<std::size_t>(a.father)];
    if (a.mother >= 0) out.TrueMother[iz] = sampleIndex[static_cast<std::size_t>(a.mother)];
  }

  std::ostringstream f;
  f << s.DatasetName << "   ! dataset name\n" << s.FName << "   ! output name\n"
    << n << "   ! number of individuals\n"
    << s.NumAgeClass[1] << " " << s.NumAgeClass[2] << "   ! maximal age of males, females\n"
    << s.MinParentAge[1] << " " << s.MinParentAge[2] << "   ! minimal reproductive age\n"
    << "1   ! Poisson family sizes\n0   ! sampling proportions unknown\n"
    << "0   ! bootstrap replicates\n" << s.NumLoci << "   ! loci\n95   ! confidence level\n";
  for (int l = 1; l <= s.NumLoci; ++l) f << (l > 1 ? " " : "") << "Loc" << l;
  f << "\n";
  for (int l = 0; l < s.NumLoci; ++l) f << (l ? " " : "") << (l >= s.NumLoci - s.NumDominantLoci ? 1 : 0);
  f << "\n" << JoinRates(s.NumLoci, s.DropRate) << "\n" << JoinRates(s.NumLoci, s.OtherErrorRate) << "\n";
  for (int i = 1; i <= n; ++i) {
    const auto iz = static_cast<std::size_t>(i);
    const Animal& a = pop[static_cast<std::size_t>(chosen[iz - 1])];
    f << out.ID[iz] << " " << a.sex << " " << a.age;
    for (int l = 0; l < s.NumLoci; ++l)
      f << TypedLocus(s, l >= s.NumLoci - s.NumDominantLoci, a.g[static_cast<std::size_t>(l)], rng);
    f << "\n";
  }
  f << s.PropPrntSampled[1] << " " << s.PropPrntSampled[2] << "   ! proportions of parents sampled\n";
  for (int k = 1; k <= 2; ++k) {
    const std::vector<int>& truth = k == 1 ? out.TrueFather : out.TrueMother;
    std::vector<int>& known = k == 1 ? out.KnownFather : out.KnownMother;
    const int want = k == 1 ? s.NumKnownFathers : s.NumKnownMothers;
    std::ostringstream lines;
    int listed = 0;
    for (int i = 1; i <= n && listed < want; ++i) {
      const auto iz = static_cast<std::size_t>(i);
      if (truth[iz] < 1) continue;
      known[iz] = truth[iz];
      lines << out.ID[iz] << " " << out.ID[static_cast<std::size_t>(truth[iz])] << "\n";
      ++listed;
    }
    f << listed << (k == 1 ? "   ! known fathers\n" : "   ! known mothers\n") << lines.str();
  }
  f << "0   ! offspring with excluded fathers\n0   ! offspring with excluded mothers\n";
  out.Text = f.str();
  return out;
}

}  // namespace testutil

#include "tools/example_data.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "common/fixed_format.h"

namespace tools {

namespace {

using estimation::AgeVariables;
using estimation::UniformIndex;

std::size_t Z(int i) { return static_cast<std::size_t>(i); }

// A rate drawn from [lo, hi], rounded to 3 decimals so that the value the
// simulation uses is the value written to the file.
double DrawRate(estimation::Ran2& rng, const Range& r) {
  const double x = r.lo + (r.hi - r.lo) * rng.Next();
  return static_cast<double>(common::RoundHalfAway(x * 1000.0)) / 1000.0;
}

// Per locus: number of alleles, uneven frequencies, allele sizes of a
// di- or tetranucleotide repeat in shuffled order, and the error rates.
std::vector<ExampleLocus> DrawLoci(const ExamplePlan& s, estimation::Ran2& rng) {
  std::vector<ExampleLocus> loci(Z(s.NumLoci) + 1);
  for (int l = 1; l <= s.NumLoci; ++l) {
    ExampleLocus& x = loci[Z(l)];
    x.Name = "Loc" + std::string(l < 10 ? "0" : "") + std::to_string(l);
    const int n = s.Alleles[0] + UniformIndex(rng.Next(), s.Alleles[1] - s.Alleles[0] + 1);
    double sum = 0.0;
    for (int a = 0; a < n; ++a) {
      const double u = rng.Next();
      x.Fre.push_back(0.05 + u * u);  // a few common alleles, several rare ones
      sum += x.Fre.back();
    }
    for (double& f : x.Fre) f /= sum;
    const int step = l % 3 == 0 ? 4 : 2;
    const int base = 100 + 10 * l;
    std::vector<int> rank(Z(n));
    std::iota(rank.begin(), rank.end(), 0);
    for (int a = n - 1; a > 0; --a) std::swap(rank[Z(a)], rank[Z(UniformIndex(rng.Next(), a + 1))]);
    for (int a = 0; a < n; ++a) x.Code.push_back(base + step * rank[Z(a)]);
    x.DropRate = DrawRate(rng, s.DropRate);
    x.OtherRate = DrawRate(rng, s.OtherRate);
    x.Missing = DrawRate(rng, s.Missing);
  }
  return loci;
}

void SetLoci(AgeVariables& av, const std::vector<ExampleLocus>& loci) {
  const int L = av.NumLoci;
  av.Dominant.assign(Z(L) + 1, 0);
  av.DropRate.assign(Z(L) + 1, 0.0);
  av.OtherRate.assign(Z(L) + 1, 0.0);
  av.ObsMissingShare.assign(Z(L) + 1, 0.0);
  av.ObsNumAllele.assign(Z(L) + 1, 0);
  av.MaxObsNumAllele = 0;
  for (int l = 1; l <= L; ++l) {
    av.ObsNumAllele[Z(l)] = static_cast<int>(loci[Z(l)].Fre.size());
    av.MaxObsNumAllele = std::max(av.MaxObsNumAllele, av.ObsNumAllele[Z(l)]);
  }
  av.ObsAlleleFre.Reset(1, L, 1, av.MaxObsNumAllele, 0.0);
  av.ObsAlleleCode.Reset(1, L, 1, av.MaxObsNumAllele, 0);
  for (int l = 1; l <= L; ++l) {
    const ExampleLocus& x = loci[Z(l)];
    av.DropRate[Z(l)] = x.DropRate;
    av.OtherRate[Z(l)] = x.OtherRate;
    av.ObsMissingShare[Z(l)] = x.Missing;
    for (int a = 1; a <= av.ObsNumAllele[Z(l)]; ++a) {
      av.ObsAlleleFre(l, a) = x.Fre[Z(a) - 1];
      av.ObsAlleleCode(l, a) = x.Code[Z(a) - 1];
    }
  }
}

// Class sizes and shares of reproduction as the bootstrap hands them to the
// simulation; every member of the population is equally likely to be
// sampled, so the sample spreads over the (sex, age) cells by class size.
void SetPopulation(AgeVariables& av, const ExamplePlan& s) {
  av.NumAgeClass = s.NumAgeClass;
  av.MaxNumAgeClass = std::max(s.NumAgeClass[1], s.NumAgeClass[2]);
  av.AgeClassSize.Reset(0, av.MaxNumAgeClass, 1, 2, 0);
  av.SampleFre.Reset(0, av.MaxNumAgeClass, 1, 2, 0.0);
  av.ReproductionRate.assign(Z(s.NumAgeClass[0]) + 1, 0.0);
  double total = 0.0;
  for (int sex = 1; sex <= 2; ++sex)
    for (double n : s.ClassSize[Z(sex)]) total += n;
  double run = 0.0;
  for (int sex = 1; sex <= 2; ++sex) {
    const std::vector<double> p = ScaledShares(s.Share[Z(sex)]);
    const int o = sex == 1 ? 0 : s.NumAgeClass[1];
    for (int i = 0; i <= s.NumAgeClass[Z(sex)]; ++i) {
      const double n = s.ClassSize[Z(sex)][Z(i)];
      av.AgeClassSize(i, sex) = static_cast<int>(n);
      run += n / total;
      av.SampleFre(i, sex) = run;
      if (i >= 1) av.ReproductionRate[Z(o + i)] = p[Z(i) - 1];
    }
  }
  av.SampleFre(s.NumAgeClass[2], 2) = 2.0;
}

// File order: males then females, by age, then by member number.
void SetFileOrder(ExampleData& d) {
  const estimation::SimuSample& x = d.Sample;
  const int n = d.Plan.SmplSize;
  d.Order.assign(Z(n) + 1, 0);
  std::iota(d.Order.begin() + 1, d.Order.end(), 1);
  std::sort(d.Order.begin() + 1, d.Order.end(), [&](int a, int b) {
    if (x.Sex[Z(a)] != x.Sex[Z(b)]) return x.Sex[Z(a)] < x.Sex[Z(b)];
    if (x.Age[Z(a)] != x.Age[Z(b)]) return x.Age[Z(a)] < x.Age[Z(b)];
    return x.Number[Z(a)] < x.Number[Z(b)];
  });
  std::array<int, 3> count{};
  for (int p = 1; p <= n; ++p) ++count[Z(x.Sex[Z(d.Order[Z(p)])])];
  const int width = std::max(3, static_cast<int>(std::to_string(std::max(count[1], count[2])).size()));
  d.ID.assign(Z(n) + 1, "");
  std::array<int, 3> next{};
  for (int p = 1; p <= n; ++p) {
    const int sex = x.Sex[Z(d.Order[Z(p)])];
    std::string num = std::to_string(++next[Z(sex)]);
    std::string& id = d.ID[Z(p)];
    id.assign(1, sex == 1 ? 'M' : 'F');
    if (num.size() < Z(width)) id.append(Z(width) - num.size(), '0');
    id += num;
  }
}

void SetTrueParents(ExampleData& d) {
  const int n = d.Plan.SmplSize;
  std::unordered_map<int, int> position;  // member number -> file position
  for (int p = 1; p <= n; ++p) position[d.Sample.Number[Z(d.Order[Z(p)])]] = p;
  d.TrueFather.assign(Z(n) + 1, 0);
  d.TrueMother.assign(Z(n) + 1, 0);
  for (int p = 1; p <= n; ++p) {
    const int i = d.Order[Z(p)];
    const auto& parent = d.Pop.Sex[Z(d.Sample.Sex[Z(i)])].Parent[Z(d.Sample.Slot[Z(i)])];
    const auto f = position.find(parent[0]), m = position.find(parent[1]);
    if (parent[0] != 0 && f != position.end()) d.TrueFather[Z(p)] = f->second;
    if (parent[1] != 0 && m != position.end()) d.TrueMother[Z(p)] = m->second;
  }
}

// Share of the potential parents (members of at least the minimal
// reproductive age) of each sex that are in the sample, to 2 decimals.
void SetPropPrntSampled(ExampleData& d) {
  for (int sex = 1; sex <= 2; ++sex) {
    int members = 0, sampled = 0;
    const auto& cls = d.Pop.Sex[Z(sex)].Class;
    for (int a = d.Plan.MinParentAge[Z(sex)]; a < static_cast<int>(cls.size()); ++a)
      members += static_cast<int>(cls[Z(a)].size());
    for (int i = 1; i <= d.Plan.SmplSize; ++i)
      if (d.Sample.Sex[Z(i)] == sex && d.Sample.Age[Z(i)] >= d.Plan.MinParentAge[Z(sex)]) ++sampled;
    const double share = members > 0 ? static_cast<double>(sampled) / members : 0.0;
    d.PropPrntSampled[Z(sex)] =
        std::max(0.01, static_cast<double>(common::RoundHalfAway(share * 100.0)) / 100.0);
  }
}

// k distinct entries of v chosen at random, in the order of v.
std::vector<int> Choose(estimation::Ran2& rng, std::vector<int> v, int k) {
  const int n = static_cast<int>(v.size());
  k = std::min(k, n);
  for (int i = 0; i < k; ++i) std::swap(v[Z(i)], v[Z(i + UniformIndex(rng.Next(), n - i))]);
  v.resize(Z(k));
  std::sort(v.begin(), v.end());
  return v;
}

int SexAt(const ExampleData& d, int p) { return d.Sample.Sex[Z(d.Order[Z(p)])]; }
int AgeAt(const ExampleData& d, int p) { return d.Sample.Age[Z(d.Order[Z(p)])]; }

// Known parents: true pairs with both members sampled. Exclusions:
// candidates of the parent's sex, old enough to be a parent, that are not
// the true parent.
void DrawPriorKnowledge(ExampleData& d, estimation::Ran2& rng) {
  const int n = d.Plan.SmplSize;
  for (int sex = 1; sex <= 2; ++sex) {
    const std::vector<int>& truth = sex == 1 ? d.TrueFather : d.TrueMother;
    std::vector<int> withParent;
    for (int p = 1; p <= n; ++p)
      if (truth[Z(p)] != 0) withParent.push_back(p);
    for (int p : Choose(rng, withParent, d.Plan.NumKnown[Z(sex)])) d.Known[Z(sex)].push_back({p, truth[Z(p)]});

    auto eligible = [&](int off) {
      std::vector<int> c;
      for (int q = 1; q <= n; ++q)
        if (q != off && q != truth[Z(off)] && SexAt(d, q) == sex &&
            AgeAt(d, q) >= AgeAt(d, off) + d.Plan.MinParentAge[Z(sex)])
          c.push_back(q);
      return c;
    };
    std::vector<int> offspring;
    for (int p = 1; p <= n; ++p)
      if (static_cast<int>(eligible(p).size()) >= d.Plan.ExcludedPerOffspring) offspring.push_back(p);
    for (int p : Choose(rng, offspring, d.Plan.NumExcluded[Z(sex)]))
      d.Excluded[Z(sex)].push_back({p, Choose(rng, eligible(p), d.Plan.ExcludedPerOffspring)});
  }
}

}  // namespace

std::vector<double> ScaledShares(const std::vector<double>& share) {
  const double total = std::accumulate(share.begin(), share.end(), 0.0);
  std::vector<double> p;
  for (double x : share) p.push_back(0.5 * x / total);
  return p;
}

ExampleData MakeExample(const ExamplePlan& plan) {
  ExampleData d;
  d.Plan = plan;
  AgeVariables av;
  av.Rng.Idum = -plan.Seed;
  av.SmplSize = plan.SmplSize;
  av.NumLoci = plan.NumLoci;
  d.Loci = DrawLoci(plan, av.Rng);
  SetLoci(av, d.Loci);
  SetPopulation(av, plan);
  estimation::Simulate(av, d.Pop, d.Sample);
  SetFileOrder(d);
  SetTrueParents(d);
  SetPropPrntSampled(d);
  DrawPriorKnowledge(d, av.Rng);
  return d;
}

}  // namespace tools

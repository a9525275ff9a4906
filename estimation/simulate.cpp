#include "estimation/simulate.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace estimation {

namespace {

// Redraws of the sample cell before falling back to the cells in order.
constexpr int kMaxCellRedraws = 1000;

enum class LocusKind { Untyped, Codominant, Dominant };

// What the founders, the inheritance and the typing of one locus need.
struct LocusModel {
  LocusKind Kind = LocusKind::Untyped;
  int NumAllele = 0;         // codominant: allele indices 1..NumAllele
  std::vector<double> Cum;   // codominant: cumulative frequencies, [a - 1]
  double Recessive = 0.0;    // dominant: frequency of allele 2
  double Missing = 0.0;      // share of genotypes written untyped
  double Dropout = 0.0;      // chance per allele of a heterozygote
  double Error = 0.0;        // chance per allele of another typing error
};

// Per sex: class sizes 0..K that the years keep, and the cumulative shares
// of reproduction of the parent classes 1..K.
struct SexPlan {
  int K = 0;
  std::vector<int> Size;      // 0..K
  std::vector<double> Cum;    // 1..K, last entry 1
};

double Draw(AgeVariables& av) { return av.Rng.Next(); }

std::vector<LocusModel> BuildLocusModels(const AgeVariables& av) {
  std::vector<LocusModel> m(static_cast<std::size_t>(av.NumLoci) + 1);
  for (int l = 1; l <= av.NumLoci; ++l) {
    LocusModel& lm = m[static_cast<std::size_t>(l)];
    const int n = av.ObsNumAllele[static_cast<std::size_t>(l)];
    if (l < static_cast<int>(av.ObsMissingShare.size()))
      lm.Missing = std::clamp(av.ObsMissingShare[static_cast<std::size_t>(l)], 0.0, 1.0);
    lm.Error = std::clamp(av.OtherRate[static_cast<std::size_t>(l)], 0.0, 1.0);
    lm.NumAllele = n;
    if (n == 0) continue;  // nobody typed: written untyped
    if (av.Dominant[static_cast<std::size_t>(l)] == 1) {
      lm.Kind = LocusKind::Dominant;
      lm.Recessive = RecessiveAlleleFre(RecessivePhenotypeShare(av, l));
      continue;
    }
    lm.Kind = LocusKind::Codominant;
    lm.Dropout = AlleleDropoutChance(std::clamp(av.DropRate[static_cast<std::size_t>(l)], 0.0, 1.0));
    double sum = 0.0;
    for (int a = 1; a <= n; ++a) {
      sum += av.ObsAlleleFre(l, a);
      lm.Cum.push_back(sum);
    }
  }
  return m;
}

SexPlan BuildSexPlan(const AgeVariables& av, int s) {
  SexPlan p;
  p.K = av.NumAgeClass[static_cast<std::size_t>(s)];
  p.Size.assign(static_cast<std::size_t>(p.K) + 1, 0);
  p.Size[0] = av.AgeClassSize(0, s);
  // A class can only be filled from the class one year younger.
  for (int i = 1; i <= p.K; ++i)
    p.Size[static_cast<std::size_t>(i)] = std::min(av.AgeClassSize(i, s), p.Size[static_cast<std::size_t>(i) - 1]);
  const int o = s == 1 ? 0 : av.NumAgeClass[1];
  double total = 0.0;
  for (int i = 1; i <= p.K; ++i) total += av.ReproductionRate[static_cast<std::size_t>(o + i)];
  // Every parent class is drawn from, so each must have members and the
  // shares a positive sum; the bootstrap refuses other estimates first.
  if (p.Size[0] < 1 || (p.K >= 1 && p.Size[static_cast<std::size_t>(p.K)] < 1) || !(total > 0.0))
    throw std::logic_error("internal error: Simulate needs classes of at least one member and positive shares");
  p.Cum.assign(static_cast<std::size_t>(p.K) + 1, 0.0);
  double run = 0.0;
  for (int i = 1; i <= p.K; ++i) {
    run += av.ReproductionRate[static_cast<std::size_t>(o + i)] / total;
    p.Cum[static_cast<std::size_t>(i)] = run;
  }
  p.Cum[static_cast<std::size_t>(p.K)] = 2.0;  // every uniform below 1 finds a class
  return p;
}

int FounderAllele(AgeVariables& av, const LocusModel& lm) {
  switch (lm.Kind) {
    case LocusKind::Untyped: return 0;
    case LocusKind::Dominant: return Draw(av) < lm.Recessive ? 2 : 1;
    case LocusKind::Codominant: break;
  }
  if (lm.NumAllele == 1) return 1;
  const double u = Draw(av);
  for (int a = 1; a < lm.NumAllele; ++a)
    if (u < lm.Cum[static_cast<std::size_t>(a) - 1]) return a;
  return lm.NumAllele;
}

void ResetPools(SimuPopulation& pop, const std::array<SexPlan, 3>& plan, int numLoci) {
  pop.NumLoci = numLoci;
  for (int s = 1; s <= 2; ++s) {
    SimuSexPool& p = pop.Sex[static_cast<std::size_t>(s)];
    std::size_t total = 0;
    for (int n : plan[static_cast<std::size_t>(s)].Size) total += static_cast<std::size_t>(n);
    p.Number.assign(total, 0);
    p.Parent.assign(total, {0, 0});
    p.Grand.assign(total, {0, 0, 0, 0});
    p.Allele.assign(total * 2 * static_cast<std::size_t>(numLoci), 0);
    p.Class.assign(static_cast<std::size_t>(plan[static_cast<std::size_t>(s)].K) + 1, {});
  }
}

// Founders fill every class, males ages 0..K first, with genotypes drawn
// from the observed allele frequencies under random mating.
int AddFounders(AgeVariables& av, SimuPopulation& pop, const std::array<SexPlan, 3>& plan,
                const std::vector<LocusModel>& loci) {
  int number = 0;
  const std::size_t nl2 = 2 * static_cast<std::size_t>(av.NumLoci);
  for (int s = 1; s <= 2; ++s) {
    SimuSexPool& p = pop.Sex[static_cast<std::size_t>(s)];
    int slot = 0;
    for (int i = 0; i <= plan[static_cast<std::size_t>(s)].K; ++i) {
      for (int k = 0; k < plan[static_cast<std::size_t>(s)].Size[static_cast<std::size_t>(i)]; ++k, ++slot) {
        p.Number[static_cast<std::size_t>(slot)] = ++number;
        int* g = &p.Allele[static_cast<std::size_t>(slot) * nl2];
        for (int l = 1; l <= av.NumLoci; ++l) {
          g[2 * (l - 1)] = FounderAllele(av, loci[static_cast<std::size_t>(l)]);
          g[2 * (l - 1) + 1] = FounderAllele(av, loci[static_cast<std::size_t>(l)]);
        }
        p.Class[static_cast<std::size_t>(i)].push_back(slot);
      }
    }
  }
  return number;
}

// One year of ageing for one sex: the oldest class dies, each class is
// refilled by a random choice among last year's members one year younger,
// and the slots of those that die are handed to the newborns.
void AgeOneYear(AgeVariables& av, SimuSexPool& p, const SexPlan& plan, std::vector<int>& freed) {
  freed.clear();
  auto& cls = p.Class;
  const auto K = static_cast<std::size_t>(plan.K);
  freed.insert(freed.end(), cls[K].begin(), cls[K].end());
  cls[K].clear();
  for (std::size_t i = K; i >= 1; --i) {
    cls[i].swap(cls[i - 1]);
    std::vector<int>& c = cls[i];
    const int m = static_cast<int>(c.size());
    const int keep = plan.Size[i];
    if (keep < m) {
      for (int k = 0; k < keep; ++k) {
        const int j = k + UniformIndex(Draw(av), m - k);
        std::swap(c[static_cast<std::size_t>(k)], c[static_cast<std::size_t>(j)]);
      }
      freed.insert(freed.end(), c.begin() + keep, c.end());
      c.resize(static_cast<std::size_t>(keep));
    }
  }
}

// A parent for a newborn: its class by the shares of reproduction of the
// parent's sex (the parent's age now, in the year of the birth), then a
// member of that class at random.
int PickParent(AgeVariables& av, const SimuSexPool& p, const SexPlan& plan) {
  const double u = Draw(av);
  int age = 1;
  while (age < plan.K && !(u < plan.Cum[static_cast<std::size_t>(age)])) ++age;
  const std::vector<int>& c = p.Class[static_cast<std::size_t>(age)];
  return c[static_cast<std::size_t>(UniformIndex(Draw(av), static_cast<int>(c.size())))];
}

void AddNewborns(AgeVariables& av, SimuPopulation& pop, int s, const std::array<SexPlan, 3>& plan,
                 const std::vector<int>& freed, int& number) {
  SimuSexPool& child = pop.Sex[static_cast<std::size_t>(s)];
  const SimuSexPool& fa = pop.Sex[1];
  const SimuSexPool& mo = pop.Sex[2];
  const std::size_t nl2 = 2 * static_cast<std::size_t>(av.NumLoci);
  const int n = plan[static_cast<std::size_t>(s)].Size[0];
  for (int k = 0; k < n; ++k) {
    const auto slot = static_cast<std::size_t>(freed[static_cast<std::size_t>(k)]);
    const auto f = static_cast<std::size_t>(PickParent(av, fa, plan[1]));
    const auto m = static_cast<std::size_t>(PickParent(av, mo, plan[2]));
    child.Number[slot] = ++number;
    child.Parent[slot] = {fa.Number[f], mo.Number[m]};
    child.Grand[slot] = {fa.Parent[f][0], fa.Parent[f][1], mo.Parent[m][0], mo.Parent[m][1]};
    const int* gf = &fa.Allele[f * nl2];
    const int* gm = &mo.Allele[m * nl2];
    int* g = &child.Allele[slot * nl2];
    // Mendelian inheritance: each parent passes one of its two alleles.
    for (std::size_t l = 0; l < nl2; l += 2) {
      g[l] = gf[l + (Draw(av) < 0.5 ? 0 : 1)];
      g[l + 1] = gm[l + (Draw(av) < 0.5 ? 0 : 1)];
    }
    child.Class[0].push_back(static_cast<int>(slot));
  }
}

// Another allele index than a, uniformly among the other n - 1.
int OtherAllele(AgeVariables& av, int a, int n) {
  const int r = 1 + UniformIndex(Draw(av), n - 1);
  return r >= a ? r + 1 : r;
}

// The genotype as typed: untyped with the observed share, else with dropout
// of one allele of a heterozygote and other errors per allele.
void TypeGenotype(AgeVariables& av, const LocusModel& lm, const int* truth, int* out) {
  out[0] = out[1] = 0;
  if (lm.Kind == LocusKind::Untyped) return;
  if (lm.Missing > 0.0 && Draw(av) < lm.Missing) return;
  int a1 = truth[0], a2 = truth[1];
  if (lm.Kind == LocusKind::Dominant) {
    if (lm.Error > 0.0 && lm.Recessive > 0.0 && lm.Recessive < 1.0) {
      if (Draw(av) < lm.Error) a1 = 3 - a1;
      if (Draw(av) < lm.Error) a2 = 3 - a2;
    }
    out[0] = out[1] = (a1 == 2 && a2 == 2) ? 2 : 1;
    return;
  }
  if (a1 != a2 && lm.Dropout > 0.0) {
    const double u = Draw(av);
    if (u < lm.Dropout) a2 = a1;
    else if (u < 2.0 * lm.Dropout) a1 = a2;
  }
  if (lm.Error > 0.0 && lm.NumAllele >= 2) {
    if (Draw(av) < lm.Error) a1 = OtherAllele(av, a1, lm.NumAllele);
    if (Draw(av) < lm.Error) a2 = OtherAllele(av, a2, lm.NumAllele);
  }
  out[0] = a1;
  out[1] = a2;
}

// A cell with members left: by SampleFre, redrawn while the drawn cell is
// exhausted; after too many redraws the first cell in order that can still
// be drawn and has members left, then any cell with members left.
std::array<int, 2> DrawSampleCell(AgeVariables& av, const SimuPopulation& pop,
                                  const std::array<std::vector<int>, 3>& taken) {
  auto left = [&](int s, int age) {
    return taken[static_cast<std::size_t>(s)][static_cast<std::size_t>(age)] <
           static_cast<int>(pop.Sex[static_cast<std::size_t>(s)].Class[static_cast<std::size_t>(age)].size());
  };
  for (int t = 0; t < kMaxCellRedraws; ++t) {
    const auto c = PickSampleCell(av.SampleFre, av.NumAgeClass, Draw(av));
    if (c[0] != 0 && left(c[0], c[1])) return c;
  }
  double below = 0.0;
  for (int s = 1; s <= 2; ++s)
    for (int age = 0; age <= av.NumAgeClass[static_cast<std::size_t>(s)]; ++age) {
      const double f = av.SampleFre(age, s);
      if (f > below && left(s, age)) return {s, age};
      below = std::max(below, f);
    }
  for (int s = 1; s <= 2; ++s)
    for (int age = 0; age <= av.NumAgeClass[static_cast<std::size_t>(s)]; ++age)
      if (left(s, age)) return {s, age};
  throw std::logic_error("internal error: simulated population smaller than the sample");
}

void DrawSample(AgeVariables& av, SimuPopulation& pop, const std::vector<LocusModel>& loci,
                SimuSample& sample) {
  const int n = av.SmplSize;
  const std::size_t nl2 = 2 * static_cast<std::size_t>(av.NumLoci);
  sample.NumLoci = av.NumLoci;
  sample.Number.assign(static_cast<std::size_t>(n) + 1, 0);
  sample.Sex.assign(static_cast<std::size_t>(n) + 1, 0);
  sample.Age.assign(static_cast<std::size_t>(n) + 1, 0);
  sample.Slot.assign(static_cast<std::size_t>(n) + 1, 0);
  sample.Gtype.assign(static_cast<std::size_t>(n) * nl2, 0);
  std::array<std::vector<int>, 3> taken;
  for (int s = 1; s <= 2; ++s)
    taken[static_cast<std::size_t>(s)].assign(static_cast<std::size_t>(av.NumAgeClass[static_cast<std::size_t>(s)]) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    const auto [s, age] = DrawSampleCell(av, pop, taken);
    SimuSexPool& p = pop.Sex[static_cast<std::size_t>(s)];
    std::vector<int>& c = p.Class[static_cast<std::size_t>(age)];
    int& t = taken[static_cast<std::size_t>(s)][static_cast<std::size_t>(age)];
    // Members not yet taken stand after the first t of the class.
    const int j = t + UniformIndex(Draw(av), static_cast<int>(c.size()) - t);
    std::swap(c[static_cast<std::size_t>(t)], c[static_cast<std::size_t>(j)]);
    const int slot = c[static_cast<std::size_t>(t)];
    ++t;
    const auto ui = static_cast<std::size_t>(i);
    sample.Number[ui] = p.Number[static_cast<std::size_t>(slot)];
    sample.Sex[ui] = s;
    sample.Age[ui] = age;
    sample.Slot[ui] = slot;
    const int* truth = pop.Alleles(s, slot);
    int* out = &sample.Gtype[(ui - 1) * nl2];
    for (int l = 1; l <= av.NumLoci; ++l)
      TypeGenotype(av, loci[static_cast<std::size_t>(l)], truth + 2 * (l - 1), out + 2 * (l - 1));
  }
}

}  // namespace

int BurnInYears(int MaxNumAgeClass) { return 3 * MaxNumAgeClass + 1; }

int UniformIndex(double u, int n) {
  const int k = static_cast<int>(u * static_cast<double>(n));
  return std::clamp(k, 0, n - 1);
}

std::array<int, 2> PickSampleCell(const Table2<double>& SampleFre,
                                  const std::array<int, 3>& NumAgeClass, double u) {
  for (int s = 1; s <= 2; ++s)
    for (int age = 0; age <= NumAgeClass[static_cast<std::size_t>(s)]; ++age)
      if (SampleFre(age, s) > u) return {s, age};
  return {0, 0};
}

double RecessiveAlleleFre(double recessiveShare) {
  return std::sqrt(std::clamp(recessiveShare, 0.0, 1.0));
}

double RecessivePhenotypeShare(const AgeVariables& av, int l) {
  double share = 0.0;
  for (int a = 1; a <= av.ObsNumAllele[static_cast<std::size_t>(l)]; ++a)
    if (av.ObsAlleleCode(l, a) == 2) share += av.ObsAlleleFre(l, a);
  return share;
}

double AlleleDropoutChance(double dropRate) { return dropRate / (1.0 + dropRate); }

void Simulate(AgeVariables& av, SimuPopulation& pop, SimuSample& sample) {
  const std::vector<LocusModel> loci = BuildLocusModels(av);
  const std::array<SexPlan, 3> plan = {SexPlan{}, BuildSexPlan(av, 1), BuildSexPlan(av, 2)};
  ResetPools(pop, plan, av.NumLoci);
  int number = AddFounders(av, pop, plan, loci);
  pop.NumFounders = number;
  pop.NumYears = BurnInYears(std::max(av.NumAgeClass[1], av.NumAgeClass[2]));
  std::array<std::vector<int>, 3> freed;
  for (int y = 1; y <= pop.NumYears; ++y) {
    for (int s = 1; s <= 2; ++s)
      AgeOneYear(av, pop.Sex[static_cast<std::size_t>(s)], plan[static_cast<std::size_t>(s)],
                 freed[static_cast<std::size_t>(s)]);
    for (int s = 1; s <= 2; ++s)
      AddNewborns(av, pop, s, plan, freed[static_cast<std::size_t>(s)], number);
  }
  DrawSample(av, pop, loci, sample);
}

}  // namespace estimation

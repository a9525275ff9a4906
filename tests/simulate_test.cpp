#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "estimation/bootstrap.h"
#include "estimation/simulate.h"

using namespace estimation;

namespace {

struct SexInputs {
  std::vector<double> P;  // shares of reproduction of ages 1..K (summing to 0.5)
  std::vector<double> N;  // class sizes of ages 1..K
  std::vector<int> n;     // sampled individuals of ages 0..K
};

// Point estimates and sample make-up as the original-data pass leaves them;
// loci: codominant with the given allele frequencies, or dominant.
AgeVariables MakeAv(const SexInputs& m, const SexInputs& f, int smplSize) {
  AgeVariables av;
  av.NumAgeClass = {static_cast<int>(m.P.size() + f.P.size()), static_cast<int>(m.P.size()),
                    static_cast<int>(f.P.size())};
  av.MaxNumAgeClass = std::max(av.NumAgeClass[1], av.NumAgeClass[2]);
  av.SmplSize = smplSize;
  av.Estimate[0].Reset(1, av.NumAgeClass[0], 1, 4, 0.0);
  av.SexAgeSize.Reset(0, av.MaxNumAgeClass, 1, 2, 0);
  const SexInputs* inputs[3] = {nullptr, &m, &f};
  for (int s = 1; s <= 2; ++s) {
    const int o = s == 1 ? 0 : av.NumAgeClass[1];
    for (int i = 1; i <= av.NumAgeClass[s]; ++i) {
      av.Estimate[0](o + i, 1) = inputs[s]->P[i - 1];
      av.Estimate[0](o + i, 2) = inputs[s]->N[i - 1];
    }
    for (int i = 0; i <= av.NumAgeClass[s]; ++i) av.SexAgeSize(i, s) = inputs[s]->n[i];
  }
  BuildSimulationInputs(av);
  return av;
}

struct LocusInputs {
  int dominant = 0;
  std::vector<double> fre;   // by allele index
  std::vector<int> code;     // raw code of each index (dominant: phenotype)
  double missing = 0.0, drop = 0.0, other = 0.0;
};

LocusInputs Codom(std::vector<double> fre, double missing = 0.0, double drop = 0.0, double other = 0.0) {
  return LocusInputs{0, std::move(fre), {}, missing, drop, other};
}

LocusInputs Dom(std::vector<double> fre, std::vector<int> code, double other = 0.0) {
  return LocusInputs{1, std::move(fre), std::move(code), 0.0, 0.0, other};
}

void SetLoci(AgeVariables& av, const std::vector<LocusInputs>& loci) {
  const int nl = static_cast<int>(loci.size());
  av.NumLoci = nl;
  int maxA = 1;
  for (const auto& l : loci) maxA = std::max(maxA, static_cast<int>(l.fre.size()));
  av.MaxObsNumAllele = maxA;
  av.ObsNumAllele.assign(nl + 1, 0);
  av.Dominant.assign(nl + 1, 0);
  av.DropRate.assign(nl + 1, 0.0);
  av.OtherRate.assign(nl + 1, 0.0);
  av.ObsMissingShare.assign(nl + 1, 0.0);
  av.ObsAlleleFre.Reset(1, nl, 1, maxA, 0.0);
  av.ObsAlleleCode.Reset(1, nl, 1, maxA, 0);
  for (int l = 1; l <= nl; ++l) {
    const LocusInputs& s = loci[l - 1];
    av.ObsNumAllele[l] = static_cast<int>(s.fre.size());
    av.Dominant[l] = s.dominant;
    av.DropRate[l] = s.drop;
    av.OtherRate[l] = s.other;
    av.ObsMissingShare[l] = s.missing;
    for (int a = 1; a <= av.ObsNumAllele[l]; ++a) {
      av.ObsAlleleFre(l, a) = s.fre[a - 1];
      av.ObsAlleleCode(l, a) = s.code.empty() ? 100 + a : s.code[a - 1];
    }
  }
}

// Age now of every living member, by number.
std::map<int, std::pair<int, int>> AgeByNumber(const SimuPopulation& pop) {
  std::map<int, std::pair<int, int>> at;
  for (int s = 1; s <= 2; ++s)
    for (std::size_t age = 0; age < pop.Sex[s].Class.size(); ++age)
      for (int slot : pop.Sex[s].Class[age]) at[pop.Sex[s].Number[slot]] = {s, static_cast<int>(age)};
  return at;
}

const SexInputs kMales{{0.2, 0.2, 0.1}, {300, 200, 100}, {30, 20, 15, 5}};
const SexInputs kFemales{{0.1, 0.15, 0.15, 0.1}, {250, 250, 150, 60}, {25, 20, 20, 10, 5}};

}  // namespace

TEST(SimulateHelpers, UniformIndexCoversEveryValueAndStaysInRange) {
  EXPECT_EQ(UniformIndex(1e-10, 7), 0);
  EXPECT_EQ(UniformIndex(0.99999988, 7), 6);
  EXPECT_EQ(UniformIndex(0.5, 2), 1);
  EXPECT_EQ(UniformIndex(0.4999, 2), 0);
  EXPECT_EQ(UniformIndex(0.99999988, 1), 0);
  EXPECT_EQ(UniformIndex(0.99999988, 100000000), 99999988);
}

TEST(SimulateHelpers, SampleCellIsTheFirstWhoseValueIsStrictlyGreater) {
  const AgeVariables av = MakeAv({{0.3, 0.2}, {10, 5}, {2, 1, 1}}, {{0.5}, {8}, {2, 4}}, 10);
  // Running sums 0.2, 0.3, 0.4 (males 0..2), 0.6 and 2.0 (females 0..1).
  struct Case { double u; int s, age; };
  for (const Case c : {Case{1e-9, 1, 0}, Case{0.19, 1, 0}, Case{0.2, 1, 1}, Case{0.35, 1, 2},
                       Case{0.5, 2, 0}, Case{0.61, 2, 1}, Case{0.99999988, 2, 1}}) {
    const auto cell = PickSampleCell(av.SampleFre, av.NumAgeClass, c.u);
    EXPECT_EQ(cell[0], c.s) << c.u;
    EXPECT_EQ(cell[1], c.age) << c.u;
  }
}

TEST(SimulateHelpers, DominantLocusFrequencies) {
  EXPECT_DOUBLE_EQ(RecessiveAlleleFre(0.36), 0.6);
  EXPECT_EQ(RecessiveAlleleFre(0.0), 0.0);
  EXPECT_EQ(RecessiveAlleleFre(1.0), 1.0);
  AgeVariables av;
  // Phenotype 2 seen first: index 1 is the recessive phenotype.
  SetLoci(av, {Dom({0.3, 0.7}, {2, 1}), Dom({1.0}, {1}), Dom({1.0}, {2})});
  EXPECT_DOUBLE_EQ(RecessivePhenotypeShare(av, 1), 0.3);
  EXPECT_EQ(RecessivePhenotypeShare(av, 2), 0.0);
  EXPECT_EQ(RecessivePhenotypeShare(av, 3), 1.0);
  EXPECT_DOUBLE_EQ(AlleleDropoutChance(1.0), 0.5);
  EXPECT_DOUBLE_EQ(AlleleDropoutChance(0.25), 0.2);
}

TEST(Simulate, ClassSizesAreExactAndEveryMemberHasSimulatedGrandparents) {
  AgeVariables av = MakeAv(kMales, kFemales, 150);
  SetLoci(av, {Codom({0.5, 0.3, 0.2}), Codom({0.9, 0.1})});
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  EXPECT_EQ(pop.NumYears, BurnInYears(4));
  const std::vector<int> want[3] = {{}, {300, 300, 200, 100}, {250, 250, 250, 150, 60}};
  for (int s = 1; s <= 2; ++s) {
    ASSERT_EQ(pop.Sex[s].Class.size(), want[s].size());
    for (std::size_t age = 0; age < want[s].size(); ++age) {
      EXPECT_EQ(static_cast<int>(pop.Sex[s].Class[age].size()), want[s][age]) << s << " " << age;
      for (int slot : pop.Sex[s].Class[age]) {
        EXPECT_GT(pop.Sex[s].Number[slot], pop.NumFounders);
        for (int p : pop.Sex[s].Parent[slot]) EXPECT_GT(p, pop.NumFounders);
        for (int g : pop.Sex[s].Grand[slot]) EXPECT_GT(g, pop.NumFounders);
      }
    }
  }
}

TEST(Simulate, AClassLargerThanTheOneBelowItKeepsWhatCanSurvive) {
  // 2.4999999 and 2.5 lie within the likelihood's 1e-5 tolerance but round
  // to 2 and 3: class 2 can only be filled from the 2 members of class 1.
  AgeVariables av = MakeAv({{0.25, 0.25}, {2.4999999, 2.5}, {0, 1, 1}}, {{0.5}, {10}, {0, 2}}, 4);
  ASSERT_EQ(av.AgeClassSize(1, 1), 2);
  ASSERT_EQ(av.AgeClassSize(2, 1), 3);
  SetLoci(av, {Codom({0.5, 0.5})});
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  EXPECT_EQ(pop.Sex[1].Class[1].size(), 2u);
  EXPECT_EQ(pop.Sex[1].Class[2].size(), 2u);
  std::set<int> seen(sample.Number.begin() + 1, sample.Number.end());
  EXPECT_EQ(seen.size(), 4u);
}

TEST(Simulate, SampleIsDistinctAndFollowsTheSampleMakeUp) {
  // Unequal numbers of age classes per sex; age 0 is sampled too.
  const SexInputs m{{0.3, 0.2}, {2000, 1500}, {300, 200, 100}};
  const SexInputs f{{0.2, 0.1, 0.1, 0.1}, {2000, 1500, 1000, 500}, {100, 100, 100, 50, 50}};
  AgeVariables av = MakeAv(m, f, 1000);
  SetLoci(av, {Codom({0.5, 0.5})});
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  ASSERT_EQ(static_cast<int>(sample.Number.size()), 1001);
  std::set<int> seen(sample.Number.begin() + 1, sample.Number.end());
  EXPECT_EQ(seen.size(), 1000u);
  const auto at = AgeByNumber(pop);
  std::map<std::pair<int, int>, int> count;
  for (int i = 1; i <= 1000; ++i) {
    EXPECT_EQ(at.at(sample.Number[i]), std::make_pair(sample.Sex[i], sample.Age[i]));
    ++count[{sample.Sex[i], sample.Age[i]}];
  }
  // Multinomial counts: expected n(cell), tolerance 4.5 standard deviations.
  for (int s = 1; s <= 2; ++s)
    for (int i = 0; i <= av.NumAgeClass[s]; ++i) {
      const double e = av.SexAgeSize(i, s);
      const double sd = std::sqrt(e * (1 - e / 1000.0));
      const int got = count[{s, i}];
      EXPECT_NEAR(got, e, 4.5 * sd) << s << " " << i;
    }
}

TEST(Simulate, ExhaustedCellIsDrawnAgainAndSampleStaysDistinct) {
  // Half of the sample is wanted from male age 2, a class of only 6 members
  // (the estimate rounds half away: 5.5 gives 6).
  const SexInputs m{{0.25, 0.25}, {60, 5.5}, {0, 5, 50}};
  const SexInputs f{{0.5}, {200}, {0, 45}};
  AgeVariables av = MakeAv(m, f, 100);
  EXPECT_EQ(av.AgeClassSize(2, 1), 6);
  SetLoci(av, {Codom({0.5, 0.5})});
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  std::set<int> seen(sample.Number.begin() + 1, sample.Number.end());
  EXPECT_EQ(seen.size(), 100u);
  int old = 0;
  for (int i = 1; i <= 100; ++i) old += sample.Sex[i] == 1 && sample.Age[i] == 2;
  EXPECT_EQ(old, 6);
}

TEST(Simulate, ParentAgesFollowTheSharesOfReproduction) {
  // Offspring now of age i, parent now of age j: P(j - i) / N(j - i) * N(j).
  const SexInputs m{{0.1, 0.25, 0.15}, {3000, 2000, 1000}, {1, 1, 1, 1}};
  const SexInputs f{{0.3, 0.2}, {3000, 1500}, {1, 1, 1}};
  AgeVariables av = MakeAv(m, f, 5);
  SetLoci(av, {Codom({0.5, 0.5})});
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  const auto at = AgeByNumber(pop);
  const SexInputs* inputs[3] = {nullptr, &m, &f};
  for (int ps = 1; ps <= 2; ++ps) {
    const SexInputs& p = *inputs[ps];
    const int K = static_cast<int>(p.P.size());
    for (int i = 0; i <= 1; ++i) {
      std::vector<double> hits(K + 1, 0.0);
      double total = 0.0;
      for (int s = 1; s <= 2; ++s)
        for (int slot : pop.Sex[s].Class[i]) {
          total += 1.0;
          const auto it = at.find(pop.Sex[s].Parent[slot][ps - 1]);
          if (it != at.end()) hits[it->second.second] += 1.0;
        }
      for (int j = i + 1; j <= K; ++j) {
        const double pr = 2.0 * p.P[j - i - 1] / p.N[j - i - 1] * p.N[j - 1];
        EXPECT_NEAR(hits[j] / total, pr, 4.5 * std::sqrt(pr * (1 - pr) / total))
            << "parent sex " << ps << " offspring age " << i << " parent age " << j;
      }
    }
  }
}

TEST(Simulate, InheritanceIsMendelian) {
  AgeVariables av = MakeAv({{0.25, 0.25}, {2000, 1000}, {1, 1, 1}}, {{0.5}, {2000}, {1, 1}}, 3);
  SetLoci(av, {Codom({0.25, 0.25, 0.25, 0.25}), Codom({0.6, 0.4})});
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  std::map<int, std::pair<int, int>> where;  // number -> (sex, slot)
  for (int s = 1; s <= 2; ++s)
    for (const auto& cls : pop.Sex[s].Class)
      for (int slot : cls) where[pop.Sex[s].Number[slot]] = {s, slot};
  // Newborns of the last year: both parents are alive.
  double het = 0.0, firstPassed = 0.0;
  for (int s = 1; s <= 2; ++s)
    for (int slot : pop.Sex[s].Class[0]) {
      const int* g = pop.Alleles(s, slot);
      const auto [fs, fslot] = where.at(pop.Sex[s].Parent[slot][0]);
      const auto [ms, mslot] = where.at(pop.Sex[s].Parent[slot][1]);
      ASSERT_EQ(fs, 1);
      ASSERT_EQ(ms, 2);
      const int* gf = pop.Alleles(1, fslot);
      const int* gm = pop.Alleles(2, mslot);
      for (int l = 0; l < 2; ++l) {
        EXPECT_TRUE(g[2 * l] == gf[2 * l] || g[2 * l] == gf[2 * l + 1]);
        EXPECT_TRUE(g[2 * l + 1] == gm[2 * l] || g[2 * l + 1] == gm[2 * l + 1]);
        if (gf[2 * l] != gf[2 * l + 1]) {
          het += 1.0;
          firstPassed += g[2 * l] == gf[2 * l];
        }
      }
    }
  ASSERT_GT(het, 1000.0);
  EXPECT_NEAR(firstPassed / het, 0.5, 4.5 * std::sqrt(0.25 / het));
  // Founders' frequencies survive a few years of drift in a large population.
  double a1 = 0.0, copies = 0.0;
  for (int s = 1; s <= 2; ++s)
    for (const auto& cls : pop.Sex[s].Class)
      for (int slot : cls) {
        const int* g = pop.Alleles(s, slot);
        a1 += (g[2] == 1) + (g[3] == 1);
        copies += 2.0;
      }
  EXPECT_NEAR(a1 / copies, 0.6, 0.05);
}

TEST(Simulate, TypingFollowsTheLocusModels) {
  AgeVariables av = MakeAv({{0.5}, {3000}, {0, 1000}}, {{0.5}, {3000}, {0, 1000}}, 2000);
  SetLoci(av, {
                  Codom({0.5, 0.5}),                 // 1 error-free
                  Codom({0.5, 0.5}, 0.0, 0.0, 1.0),  // 2 every allele turned into the other
                  Codom({0.5, 0.5}, 0.0, 1.0),       // 3 every heterozygote loses an allele
                  Codom({0.4, 0.6}, 0.25),           // 4 a quarter untyped
                  Dom({0.64, 0.36}, {1, 2}),         // 5 dominant, recessive share 0.36
                  Codom({}),                         // 6 nobody typed
              });
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);
  double untyped = 0.0, recessive = 0.0;
  for (int i = 1; i <= 2000; ++i) {
    const int* t = pop.Alleles(sample.Sex[i], sample.Slot[i]);
    EXPECT_EQ(sample.Code(1, 1, i), t[0]);
    EXPECT_EQ(sample.Code(2, 1, i), t[1]);
    EXPECT_EQ(sample.Code(1, 2, i), 3 - t[2]);
    EXPECT_EQ(sample.Code(2, 2, i), 3 - t[3]);
    EXPECT_EQ(sample.Code(1, 3, i), sample.Code(2, 3, i));
    EXPECT_TRUE(sample.Code(1, 3, i) == t[4] || sample.Code(1, 3, i) == t[5]);
    untyped += sample.Code(1, 4, i) == 0;
    EXPECT_EQ(sample.Code(1, 4, i) == 0, sample.Code(2, 4, i) == 0);
    const int ph = (t[8] == 2 && t[9] == 2) ? 2 : 1;
    EXPECT_EQ(sample.Code(1, 5, i), ph);
    EXPECT_EQ(sample.Code(2, 5, i), ph);
    recessive += ph == 2;
    EXPECT_EQ(sample.Code(1, 6, i), 0);
    EXPECT_EQ(sample.Code(2, 6, i), 0);
  }
  EXPECT_NEAR(untyped / 2000.0, 0.25, 4.5 * std::sqrt(0.25 * 0.75 / 2000.0));
  EXPECT_NEAR(recessive / 2000.0, 0.36, 0.06);
}

TEST(Simulate, SameStreamGivesTheSameReplicate) {
  AgeVariables a = MakeAv(kMales, kFemales, 150);
  SetLoci(a, {Codom({0.5, 0.3, 0.2}, 0.1, 0.05, 0.02), Dom({0.7, 0.3}, {1, 2}, 0.01)});
  AgeVariables b = a;
  SimuPopulation pa, pb;
  SimuSample sa, sb;
  Simulate(a, pa, sa);
  Simulate(b, pb, sb);
  EXPECT_EQ(sa.Number, sb.Number);
  EXPECT_EQ(sa.Gtype, sb.Gtype);
  // The next replicate continues the stream and differs.
  Simulate(a, pa, sa);
  EXPECT_NE(sa.Gtype, sb.Gtype);
}

TEST(Simulate, EmptyClassOrNoSharesIsRefusedInsteadOfDrawingFromNothing) {
  // A class of 0.4 members rounds to 0, and shares summing to 0 pick no
  // class: a parent would be drawn from an empty class.
  for (const SexInputs& m : {SexInputs{{0.25, 0.25}, {10, 0.4}, {1, 1, 0}},
                             SexInputs{{0.0, 0.0}, {10, 5}, {1, 1, 1}}}) {
    AgeVariables av = MakeAv(m, {{0.5}, {10}, {1, 1}}, 3);
    SetLoci(av, {Codom({0.5, 0.5})});
    SimuPopulation pop;
    SimuSample sample;
    EXPECT_THROW(Simulate(av, pop, sample), std::logic_error);
  }
}

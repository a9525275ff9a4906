// Confidence thresholds by simulation: per parent sex, 10000 assignment
// trials with simulated parents, offspring and unrelated candidates, scored
// by the same LOD statistic as the real assignment.
#include "pairwise/thresholds.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "pairwise/candidate_score.h"
#include "pairwise/data_process.h"
#include "pairwise/likelihood.h"
#include "pairwise/simu_genotype.h"
#include "pairwise/threshold_walk.h"
#include "pairwise/uniform_bounds.h"

namespace pairwise {

namespace {

// The trials use individual 1 and candidate slot 1 as scratch; this keeps
// their real contents and puts them back on every way out.
class ScratchSlotGuard {
 public:
  explicit ScratchSlotGuard(Variables& v) : v_(v) {
    const auto len = static_cast<std::size_t>(2 * v.NumLoci);
    indiv_.assign(v.IndivG(1), v.IndivG(1) + len);
    for (int k = 1; k <= 2; ++k) {
      if (v.NumCandidate[k] >= 1) cnd_[k].assign(v.CndG(1, k), v.CndG(1, k) + len);
      if (v.IndivParent[k].size() > 1) parent_[k] = v.IndivParent[k][1];
    }
    if (HasGtype2()) gtype2_.assign(&v.IndivGtype2(1, 1), &v.IndivGtype2(1, 1) + v.NumLoci);
  }
  ~ScratchSlotGuard() {
    std::copy(indiv_.begin(), indiv_.end(), v_.IndivG(1));
    for (int k = 1; k <= 2; ++k) {
      if (!cnd_[k].empty()) std::copy(cnd_[k].begin(), cnd_[k].end(), v_.CndG(1, k));
      if (v_.IndivParent[k].size() > 1) v_.IndivParent[k][1] = parent_[k];
    }
    if (!gtype2_.empty()) std::copy(gtype2_.begin(), gtype2_.end(), &v_.IndivGtype2(1, 1));
  }
  ScratchSlotGuard(const ScratchSlotGuard&) = delete;
  ScratchSlotGuard& operator=(const ScratchSlotGuard&) = delete;
  bool HasGtype2() const {
    return v_.IndivGtype2Data.size() >= static_cast<std::size_t>(v_.NumLoci) && v_.NumLoci > 0;
  }

 private:
  Variables& v_;
  std::vector<int> indiv_, gtype2_;
  std::array<std::vector<int>, 3> cnd_;
  std::array<int, 3> parent_{};
};

// Work data of one sex's trials, allocated once.
struct TrialWork {
  std::vector<int> parent1, parent2;
  std::vector<double> DELTA;
  std::vector<char> TRUEPARENTQ;
  explicit TrialWork(int numLoci)
      : parent1(static_cast<std::size_t>(2 * numLoci)), parent2(static_cast<std::size_t>(2 * numLoci)),
        DELTA(kNumTrials + 1, 0.0), TRUEPARENTQ(kNumTrials + 1, 0) {}
};

// Progress: a dot before every 100th trial, the 10000th ends the line.
void ProgressDot(std::ostream& console, int z) {
  if (z % 100 != 0) return;
  console << '.';
  if (z % 10000 == 0) console << '\n';
  console.flush();  // the only sign of life during the trials
}

// Best and second-best LOD of one trial and the index of the best.
struct TrialBest {
  double best1 = 0.0, best2 = 0.0;
  int chosen = 0;
  void Offer(double lod, int i) {
    // The comparisons below would pass over a NaN without a word; the check
    // of the simulated genotypes leaves every score finite, so one that is
    // not is a bug.
    if (!std::isfinite(lod))
      throw std::logic_error("internal error: a threshold trial scored a non-finite LOD");
    if (lod > best1) {
      best2 = best1;
      best1 = lod;
      chosen = i;
    } else {
      best2 = std::max(best2, lod);
    }
  }
};

class TrialRunner {
 public:
  TrialRunner(Variables& v, const SimuTables& t, const SingleGtypeLogCache& cache)
      : v_(v), t_(t), cache_(cache), scorer_(v, cache), work_(v.NumLoci),
        candNumber_(static_cast<std::size_t>(scorer_.NumDyadLoci()) + 1),
        offNumber_(static_cast<std::size_t>(scorer_.NumDyadLoci()) + 1) {}

  // Runs the trials of sex w and returns its thresholds.
  std::array<double, 11> Run(int w, int numSimu, std::ostream& console) {
    UniformBuffer u(v_.SimuRng, kMaxChangeDraws * v_.NumLoci);
    // The true parent is sampled when its uniform is at most PropPrntSampled.
    sampledAtMost_ = DrawsAtMost(v_.PropPrntSampled[static_cast<std::size_t>(w)]);
    for (int z = 1; z <= kNumTrials; ++z) {
      ProgressDot(console, z);
      bool truth = false;
      work_.DELTA[static_cast<std::size_t>(z)] = OneTrial(u, w, numSimu, truth);
      work_.TRUEPARENTQ[static_cast<std::size_t>(z)] = truth ? 1 : 0;
    }
    v_.SimuRng = u.Release();
    return ThresholdsFromTrials(kNumTrials, work_.DELTA, work_.TRUEPARENTQ);
  }

 private:
  // One trial: true parents, their offspring (in individual 1's slot), the
  // scan of numSimu candidates (in candidate slot 1 of sex w). Returns the
  // margin; truth = the true parent was sampled and ranked first.
  double OneTrial(UniformBuffer& u, int w, int numSimu, bool& truth) {
    int* p1 = work_.parent1.data();
    int* p2 = work_.parent2.data();
    int* off = v_.IndivG(1);
    int* cand = v_.CndG(1, w);
    SimuParentGenotype(t_, u, p1);
    SimuParentGenotype(t_, u, p2);
    SimuOffspring(t_, u, p1, p2, off);
    SimuGenotypeChange(t_, u, off);
    SimuGenotypeChange(t_, u, p1);
    SimuGenotypeChange(t_, u, p2);
    StoreOffspringNumbers(off);
    const double vec1 = cache_.SingleLogL(off);
    if (scorer_.Usable()) scorer_.Score(off, offNumber_.data());
    const bool trueSampled = u.Bits24() < sampledAtMost_;
    TrialBest best;
    const auto len = static_cast<std::ptrdiff_t>(2 * v_.NumLoci);
    for (int i = 1; i <= numSimu; ++i) {
      const int* c = cand;
      if (i == 1 && trueSampled) {
        c = p1;
      } else {
        SimuParentGenotype(t_, u, cand);
        SimuGenotypeChange(t_, u, cand);
      }
      double x, unrel;
      if (scorer_.Usable()) {
        unrel = vec1 + scorer_.Score(c, candNumber_.data());
        // The floor stops every candidate early that cannot beat the second best.
        x = scorer_.DyadLogL(candNumber_.data(), offNumber_.data(), unrel + best.best2);
      } else {
        if (c == p1) std::copy(p1, p1 + len, cand);
        unrel = vec1 + cache_.SingleLogL(cand);
        x = Compute_PODyad_LogL(v_, cand, off, unrel + best.best2);
      }
      best.Offer(x - unrel, i);
    }
    truth = trueSampled && best.chosen == 1;
    return best.best1 - best.best2;
  }

  void StoreOffspringNumbers(const int* off) {
    if (v_.IndivGtype2Data.size() < static_cast<std::size_t>(v_.NumLoci)) return;
    for (int l = 1; l <= v_.NumLoci; ++l) v_.IndivGtype2(l, 1) = cache_.GenotypeNumber(l, off + 2 * (l - 1));
  }

  Variables& v_;
  const SimuTables& t_;
  const SingleGtypeLogCache& cache_;
  const CandidateScorer scorer_;
  TrialWork work_;
  std::vector<int> candNumber_, offNumber_;  // genotype numbers at the dyad loci
  std::int32_t sampledAtMost_ = 0;
};

// Sex 2 takes sex 1's thresholds when its trials would be drawn from the
// same setting: as many candidates, as many simulated candidates, and known
// parents on both sides or on neither.
bool ReuseSexOne(const Variables& v, const std::array<int, 3>& numSimu) {
  return v.NumCandidate[2] == v.NumCandidate[1] && numSimu[2] == numSimu[1] &&
         (v.NumKnownPrnt[1] > 0) == (v.NumKnownPrnt[2] > 0);
}

// Every genotype that the trials can produce must have a probability under
// its locus's error model: one without (a heterozygote under certain dropout
// that other errors still make) would give a single log-likelihood of minus
// infinity and NaN or infinite LODs, and skew the calibration. Only loci
// with two or more alleles enter a score.
void CheckSimulatedGenotypesPossible(Variables& v, const SimuTables& t) {
  for (int l = 1; l <= v.NumLoci; ++l) {
    if (v.ObsNumAllele[static_cast<std::size_t>(l)] < 2) continue;
    for (const auto& g : ProducibleGenotypes(t, l)) {
      const double p = ProbSingleGtype(v, l, g[0], g[1]);
      if (p > 1e-300 && std::isfinite(p)) continue;
      StopOnImpossibleRates(v, "Locus", l,
                            "make genotypes that the simulation produces impossible!");
    }
  }
}

}  // namespace

void DetermineDeltaValue(Variables& v, std::ostream& console) {
  console << " Estimating parentage with pairwise approach\n";
  const SimuTables tables = BuildSimuTables(v);
  CheckSimulatedGenotypesPossible(v, tables);
  v.AnyGtypeMissingQ = tables.AnyGtypeMissingQ;
  const SingleGtypeLogCache cache(v);
  const std::array<int, 3> numSimu{0, NumSimuCandidate(v, 1), NumSimuCandidate(v, 2)};
  ScratchSlotGuard guard(v);
  TrialRunner runner(v, tables, cache);
  for (int w = 1; w <= 2; ++w) {
    if (v.NumCandidate[w] <= 0) continue;
    if (w == 2 && ReuseSexOne(v, numSimu)) {
      v.Threshold[2] = v.Threshold[1];
    } else {
      v.Threshold[w] = runner.Run(w, numSimu[w], console);
    }
    // The margin between the two best candidates is the same statistic when
    // the other parent is known, so it takes the same calibration.
    v.Threshold2[w] = v.Threshold[w];
  }
}

}  // namespace pairwise

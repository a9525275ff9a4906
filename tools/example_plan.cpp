#include "tools/example_plan.h"

#include <charconv>
#include <cmath>
#include <map>
#include <numeric>
#include <sstream>

namespace tools {

namespace {

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::string item;
  std::istringstream in(text);
  while (std::getline(in, item, ',')) items.push_back(item);
  if (!text.empty() && text.back() == ',') items.emplace_back();
  return items;
}

double ToReal(const std::string& key, const std::string& text) {
  double v = 0.0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v))
    throw UsageError(key + ": \"" + text + "\" is not a number");
  return v;
}

int ToInt(const std::string& key, const std::string& text) {
  int v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size())
    throw UsageError(key + ": \"" + text + "\" is not a whole number");
  return v;
}

std::vector<double> Reals(const std::string& key, const std::string& text, std::size_t count = 0) {
  std::vector<double> v;
  for (const std::string& s : SplitList(text)) v.push_back(ToReal(key, s));
  if (count != 0 && v.size() != count)
    throw UsageError(key + ": expected " + std::to_string(count) + " values");
  return v;
}

std::array<int, 2> IntPair(const std::string& key, const std::string& text) {
  const std::vector<std::string> s = SplitList(text);
  if (s.size() != 2) throw UsageError(key + ": expected two whole numbers, as in " + key + "=4,6");
  return {ToInt(key, s[0]), ToInt(key, s[1])};
}

Range RangeOf(const std::string& key, const std::string& text) {
  const std::vector<double> v = Reals(key, text, 2);
  if (v[0] < 0.0 || v[1] > 1.0 || v[0] > v[1]) throw UsageError(key + ": expected 0 <= low <= high <= 1");
  return {v[0], v[1]};
}

// Default population: a few hundred members per sex; females live longer
// and start breeding a year later than males.
void SetDefaultPopulation(ExamplePlan& s) {
  s.ClassSize[1] = {300, 220, 160, 110, 70};
  s.ClassSize[2] = {300, 230, 180, 140, 100, 70, 40};
  s.Share[1] = {0.15, 0.35, 0.30, 0.20};
  s.Share[2] = {0.0, 0.15, 0.25, 0.25, 0.20, 0.15};
}

void CheckSex(const ExamplePlan& s, int sex, const char* name) {
  const int K = s.NumAgeClass[static_cast<std::size_t>(sex)];
  const auto& size = s.ClassSize[static_cast<std::size_t>(sex)];
  const auto& share = s.Share[static_cast<std::size_t>(sex)];
  const std::string n(name);
  if (static_cast<int>(size.size()) != K + 1)
    throw UsageError(n + "-sizes: expected " + std::to_string(K + 1) + " class sizes (ages 0 to " +
                     std::to_string(K) + ")");
  if (static_cast<int>(share.size()) != K)
    throw UsageError(n + "-shares: expected " + std::to_string(K) + " shares (ages 1 to " +
                     std::to_string(K) + ")");
  for (std::size_t i = 0; i < size.size(); ++i) {
    if (size[i] < 1.0 || size[i] != std::floor(size[i]))
      throw UsageError(n + "-sizes: each class size is a whole number of at least 1");
    // A class is filled from the class one year younger.
    if (i > 0 && size[i] > size[i - 1]) throw UsageError(n + "-sizes: sizes must not grow with age");
  }
  double total = 0.0;
  for (std::size_t i = 0; i < share.size(); ++i) {
    if (share[i] < 0.0) throw UsageError(n + "-shares: shares must not be negative");
    if (static_cast<int>(i) + 1 < s.MinParentAge[static_cast<std::size_t>(sex)] && share[i] != 0.0)
      throw UsageError(n + "-shares: ages below the minimal reproductive age must have share 0");
    total += share[i];
  }
  if (total <= 0.0) throw UsageError(n + "-shares: at least one share must be above 0");
}

void Check(const ExamplePlan& s) {
  if (s.SmplSize < 2) throw UsageError("individuals: at least 2");
  if (s.NumLoci < 1) throw UsageError("loci: at least 1");
  if (s.Alleles[0] < 2 || s.Alleles[1] < s.Alleles[0]) throw UsageError("alleles: expected 2 <= fewest <= most");
  for (int sex = 1; sex <= 2; ++sex) {
    const int K = s.NumAgeClass[static_cast<std::size_t>(sex)];
    const int m = s.MinParentAge[static_cast<std::size_t>(sex)];
    if (K < 1 || K > 50) throw UsageError("max-age: each maximal age from 1 to 50");
    if (m < 1 || m > K) throw UsageError("min-age: each minimal reproductive age from 1 to its maximal age");
  }
  CheckSex(s, 1, "male");
  CheckSex(s, 2, "female");
  double members = 0.0;
  for (int sex = 1; sex <= 2; ++sex)
    for (double n : s.ClassSize[static_cast<std::size_t>(sex)]) members += n;
  if (static_cast<double>(s.SmplSize) > members / 2.0)
    throw UsageError("individuals: at most half of the population (" + std::to_string(static_cast<int>(members)) +
                     " members)");
  if (s.NumCI95Sample < 0 || s.NumCI95Sample > 100000) throw UsageError("replicates: from 0 to 100000");
  if (s.ConfidenceLevel < 50 || s.ConfidenceLevel > 99) throw UsageError("confidence: from 50 to 99");
  if (s.FamilySizeDist != 0 && s.FamilySizeDist != 1) throw UsageError("poisson: 1 or 0");
  for (int sex = 1; sex <= 2; ++sex)
    if (s.NumKnown[static_cast<std::size_t>(sex)] < 0 || s.NumExcluded[static_cast<std::size_t>(sex)] < 0)
      throw UsageError("known, excluded: counts must not be negative");
  if (s.ExcludedPerOffspring < 1) throw UsageError("excluded-per-offspring: at least 1");
  if (s.DatasetName.empty() || s.FName.empty() ||
      s.DatasetName.find_first_of(" \t,/'\"*") != std::string::npos ||
      s.FName.find_first_of(" \t,/'\"*") != std::string::npos)
    throw UsageError("name, output: one word without blanks, commas, slashes, quotes or asterisks");
}

}  // namespace

ExamplePlan ParseExampleArgs(const std::vector<std::string>& args) {
  ExamplePlan s;
  SetDefaultPopulation(s);
  for (const std::string& a : args) {
    const std::size_t eq = a.find('=');
    if (eq == std::string::npos) throw UsageError("\"" + a + "\" is not of the form key=value");
    const std::string key = a.substr(0, eq), value = a.substr(eq + 1);
    if (key == "seed") s.Seed = ToInt(key, value);
    else if (key == "name") s.DatasetName = value;
    else if (key == "output") s.FName = value;
    else if (key == "individuals") s.SmplSize = ToInt(key, value);
    else if (key == "loci") s.NumLoci = ToInt(key, value);
    else if (key == "alleles") s.Alleles = IntPair(key, value);
    else if (key == "max-age") { const auto p = IntPair(key, value); s.NumAgeClass = {p[0] + p[1], p[0], p[1]}; }
    else if (key == "min-age") { const auto p = IntPair(key, value); s.MinParentAge = {0, p[0], p[1]}; }
    else if (key == "male-sizes") s.ClassSize[1] = Reals(key, value);
    else if (key == "female-sizes") s.ClassSize[2] = Reals(key, value);
    else if (key == "male-shares") s.Share[1] = Reals(key, value);
    else if (key == "female-shares") s.Share[2] = Reals(key, value);
    else if (key == "dropout") s.DropRate = RangeOf(key, value);
    else if (key == "other-error") s.OtherRate = RangeOf(key, value);
    else if (key == "missing") s.Missing = RangeOf(key, value);
    else if (key == "known") { const auto p = IntPair(key, value); s.NumKnown = {0, p[0], p[1]}; }
    else if (key == "excluded") { const auto p = IntPair(key, value); s.NumExcluded = {0, p[0], p[1]}; }
    else if (key == "excluded-per-offspring") s.ExcludedPerOffspring = ToInt(key, value);
    else if (key == "replicates") s.NumCI95Sample = ToInt(key, value);
    else if (key == "confidence") s.ConfidenceLevel = ToInt(key, value);
    else if (key == "poisson") s.FamilySizeDist = ToInt(key, value);
    else throw UsageError("unknown key \"" + key + "\"");
  }
  if (s.Seed < 1) throw UsageError("seed: at least 1");
  s.NumAgeClass[0] = s.NumAgeClass[1] + s.NumAgeClass[2];
  Check(s);
  return s;
}

std::string ExampleUsage() {
  return "usage: make_example [key=value ...] > Tavimorelund.dat\n"
         "  seed=N                   start of the random stream (default 2718)\n"
         "  name=WORD output=WORD    dataset name, output name (Example, example)\n"
         "  individuals=N            sample size (300)\n"
         "  loci=N alleles=LO,HI     codominant loci and their number of alleles (15; 6,14)\n"
         "  max-age=M,F min-age=M,F  maximal and minimal reproductive ages (4,6; 1,2)\n"
         "  male-sizes=N0,...,NK     class sizes of ages 0..K, likewise female-sizes\n"
         "  male-shares=P1,...,PK    shares of reproduction of ages 1..K, likewise female-shares\n"
         "  dropout=LO,HI other-error=LO,HI missing=LO,HI   per-locus rate ranges\n"
         "  known=M,F                known fathers, known mothers (3,3)\n"
         "  excluded=M,F excluded-per-offspring=N   exclusion lines and their length (2,2; 2)\n"
         "  replicates=N confidence=N poisson=1|0   (5; 90; 1)\n";
}

}  // namespace tools

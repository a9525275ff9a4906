// Writer of the example control and data file. There are no comment lines
// in this layout: each comment stands after the values of its line, and
// every header item keeps a line of its own.
#include <cstdio>
#include <sstream>

#include "tools/example_data.h"

namespace tools {

namespace {

std::size_t Z(int i) { return static_cast<std::size_t>(i); }

constexpr std::size_t kCommentColumn = 24;

void Line(std::ostream& out, const std::string& values, const std::string& comment) {
  out << values;
  const std::size_t pad = values.size() < kCommentColumn ? kCommentColumn - values.size() : 2;
  out << std::string(pad, ' ') << comment << '\n';
}

std::string Rate(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", x);
  return buf;
}

template <typename F>
std::string PerLocus(const ExampleData& d, F value) {
  std::string s;
  for (int l = 1; l <= d.Plan.NumLoci; ++l) {
    if (l > 1) s += ' ';
    s += value(d.Loci[Z(l)]);
  }
  return s;
}

void WriteHeader(std::ostream& out, const ExampleData& d) {
  const ExamplePlan& s = d.Plan;
  Line(out, s.DatasetName, "dataset name (one word), shown in the report title");
  Line(out, s.FName, "output name (one word): the report is " + s.FName + ".Ne");
  Line(out, std::to_string(s.SmplSize), "number of individuals");
  Line(out, std::to_string(s.NumAgeClass[1]) + " " + std::to_string(s.NumAgeClass[2]),
       "maximal age of males, of females");
  Line(out, std::to_string(s.MinParentAge[1]) + " " + std::to_string(s.MinParentAge[2]),
       "minimal reproductive age of males, of females");
  Line(out, std::to_string(s.FamilySizeDist), "family-size distribution: 1 Poisson, 0 other");
  Line(out, "0", "sampling proportions known: 0 no, 1 yes (then two lines of proportions by age)");
  Line(out, std::to_string(s.NumCI95Sample), "number of bootstrap replicates (0 for none)");
  Line(out, std::to_string(s.NumLoci), "number of loci");
  Line(out, std::to_string(s.ConfidenceLevel), "confidence level in percent for accepting an assignment");
  Line(out, PerLocus(d, [](const ExampleLocus& x) { return x.Name; }), "marker names");
  Line(out, PerLocus(d, [](const ExampleLocus&) { return std::string("0"); }),
       "marker types: 0 codominant, 1 dominant");
  Line(out, PerLocus(d, [](const ExampleLocus& x) { return Rate(x.DropRate); }), "dropout rate per locus");
  Line(out, PerLocus(d, [](const ExampleLocus& x) { return Rate(x.OtherRate); }),
       "other typing-error rate per locus");
}

std::string Parents(const ExampleData& d, int p) {
  auto id = [&](int q) { return q == 0 ? std::string("-") : d.ID[Z(q)]; };
  return "true parents " + id(d.TrueFather[Z(p)]) + " " + id(d.TrueMother[Z(p)]);
}

void WriteIndividuals(std::ostream& out, const ExampleData& d) {
  char buf[16];
  for (int p = 1; p <= d.Plan.SmplSize; ++p) {
    const int i = d.Order[Z(p)];
    std::string v = d.ID[Z(p)] + " " + std::to_string(d.Sample.Sex[Z(i)]) + " " +
                    std::to_string(d.Sample.Age[Z(i)]);
    for (int l = 1; l <= d.Plan.NumLoci; ++l) {
      v += ' ';
      for (int a = 1; a <= 2; ++a) {
        const int k = d.Sample.Code(a, l, i);
        std::snprintf(buf, sizeof buf, "%4d", k == 0 ? 0 : d.Loci[Z(l)].Code[Z(k) - 1]);
        v += buf;
      }
    }
    Line(out, v,
         p == 1 ? "identifier, sex (1 male, 2 female), age, two allele sizes per locus (0 0 untyped); " +
                      Parents(d, p)
                : Parents(d, p));
  }
}

void WritePriorKnowledge(std::ostream& out, const ExampleData& d) {
  const char* parent[3] = {"", "father", "mother"};
  for (int sex = 1; sex <= 2; ++sex) {
    const auto& k = d.Known[Z(sex)];
    Line(out, std::to_string(k.size()),
         std::string("number of known ") + parent[sex] + "s, one line each: offspring, " + parent[sex]);
    for (const auto& pair : k) Line(out, d.ID[Z(pair[0])] + " " + d.ID[Z(pair[1])], std::string("known ") + parent[sex]);
  }
  for (int sex = 1; sex <= 2; ++sex) {
    const auto& e = d.Excluded[Z(sex)];
    Line(out, std::to_string(e.size()),
         std::string("number of offspring with excluded ") + parent[sex] +
             "s, one line each: offspring, count, candidates");
    for (const Exclusion& x : e) {
      std::string v = d.ID[Z(x.Offspring)] + " " + std::to_string(x.Candidate.size());
      for (int c : x.Candidate) v += " " + d.ID[Z(c)];
      Line(out, v, std::string("not the ") + parent[sex] + " of " + d.ID[Z(x.Offspring)]);
    }
  }
}

}  // namespace

void WriteExample(std::ostream& out, const ExampleData& d) {
  WriteHeader(out, d);
  WriteIndividuals(out, d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f %.2f", d.PropPrntSampled[1], d.PropPrntSampled[2]);
  Line(out, buf, "proportion of fathers, of mothers sampled");
  WritePriorKnowledge(out, d);
}

}  // namespace tools

#include "estimation/report.h"

#include <sstream>

#include "common/fixed_format.h"
#include "estimation/file_output.h"
#include "estimation/report_writer.h"
#include "estimation/wall_clock.h"

namespace estimation {

using common::FmtFixed;
using common::FmtInt;
using common::FmtText;

namespace {

// A rule is as wide as the table it underlines, also past 80 columns (many
// age classes, or a parent with many offspring).
std::string Dashes(int width) { return common::RepeatChar('-', width); }
std::string Stars(int width) { return common::RepeatChar('*', width); }

// Date2/Time2 halves shown as D=dd/mm/yyyy T=ss/mm/hh.
std::string TimeLine(const std::string& label, const std::string& date, const std::string& time) {
  const std::string d = common::PadRight(date, 8);
  const std::string t = common::PadRight(time, 10);
  return label + "D=" + d.substr(6, 2) + "/" + d.substr(4, 2) + "/" + d.substr(0, 4) + " T=" +
         t.substr(4, 2) + "/" + t.substr(2, 2) + "/" + t.substr(0, 2);
}

void WriteTitleAndTimes(const AgeVariables& av, std::ostream& out) {
  out << Stars(70) << '\n'
      << std::string(10, ' ') << "Tavimorelund Analysis Results for Dataset "
      << common::TrimRight(av.DatasetName) << '\n'
      << Stars(70) << '\n';
  const std::string date = common::PadRight(av.Date2, 16);
  const std::string time = common::PadRight(av.Time2, 20);
  out << TimeLine("  Time  Started: ", date.substr(0, 8), time.substr(0, 10)) << '\n'
      << TimeLine("  Time Finished: ", date.substr(8, 8), time.substr(10, 10)) << '\n';
}

void WriteSectionHeading(std::ostream& out, int width, const std::string& title) {
  out << '\n' << Dashes(width) << '\n' << title << '\n' << Dashes(width) << '\n';
}

void WriteParameters(const AgeVariables& av, std::ostream& out) {
  WriteSectionHeading(out, 20, "1. Parameters");
  out << '\n'
      << FmtText("Parameter", 30) << FmtText("Males", 15) << FmtText("Females", 15) << '\n'
      << Dashes(60) << '\n';
  out << FmtText("Maximal Age", 30) << FmtInt(av.NumAgeClass[1], 15)
      << FmtInt(av.NumAgeClass[2], 15) << '\n';
  out << FmtText("Minimal Parental Age", 30) << FmtInt(av.MinParentAge[1], 15)
      << FmtInt(av.MinParentAge[2], 15) << '\n';
  const char* dist = av.FamilySizeDist == 1 ? "Poisson" : "NonPoisson";
  out << FmtText("Assumed Family Size Distr.", 30) << FmtText(dist, 15) << FmtText(dist, 15)
      << '\n';
  out << FmtText("Number bootstrapping samples", 30) << FmtInt(av.NumCI95Sample, 15) << '\n';
  out << FmtText("Number of Loci", 30) << FmtInt(av.NumLoci, 15) << '\n';
  out << FmtText("Parentage confidence level", 30) << FmtText(common::PadRight(av.ConfidenceLevel, 2), 15)
      << '\n';
}

void WriteSampleSizes(const AgeVariables& av, std::ostream& out) {
  WriteSectionHeading(out, 22, "2. Summary statistics");
  out << '\n'
      << "Number of individuals sampled in each sex-age class" << '\n'
      << '\n'
      << FmtText("AgeClass", 14) << FmtText("Males", 14) << FmtText("Females", 14) << '\n'
      << Dashes(42) << '\n';
  for (int age = 0; age <= av.MaxNumAgeClass; ++age) {
    const bool m = age <= av.NumAgeClass[1], f = age <= av.NumAgeClass[2];
    std::string row = FmtInt(age, 14);
    if (m) row += FmtInt(av.SexAgeSize0(age, 1), 14);
    if (f) row += FmtInt(av.SexAgeSize0(age, 2), m ? 14 : 28);
    out << row << '\n';
  }
}

void WritePairCounts(const AgeVariables& av, std::ostream& out) {
  for (int s = 1; s <= 2; ++s) {
    const int n = av.NumAgeClass[s];
    out << '\n'
        << '\n'
        << (s == 1 ? "Number of males & females of age class j (column 1) whose paternity is "
                     "assigned to age class i (row 1)"
                   : "Number of males & females of age class j (column 1) whose maternity is "
                     "assigned to age class i (row 1)")
        << '\n'
        << '\n'
        << FmtText("AgeClass", 10);
    for (int i = 1; i <= n; ++i) out << FmtInt(i, 6);
    out << '\n' << Dashes(6 * n + 10) << '\n';
    for (int j = 0; j <= n - 1; ++j) {
      out << FmtInt(j, 10);
      for (int i = 1; i <= n; ++i) out << FmtInt(av.PODyadCounts0[s](j, i), 6);
      out << '\n';
    }
  }
}

void WriteFamilySizes(const AgeVariables& av, std::ostream& out) {
  for (int s = 1; s <= 2; ++s) {
    const int bound = av.NumOff0Bound[s];
    out << '\n'
        << (s == 1 ? "Number of male parents of age class j (column 1) who each have i offspring "
                     "assignments (row 1)"
                   : "Number of female parents of age class j (column 1) who each have i "
                     "offspring assignments (row 1)")
        << '\n'
        << '\n'
        << FmtText("AgeClass", 10);
    for (int i = 0; i <= bound; ++i) out << FmtInt(i, 6);
    out << '\n' << Dashes(6 * bound + 16) << '\n';
    for (int j = 1; j <= av.NumAgeClass[s]; ++j) {
      out << FmtInt(j, 10);
      for (int i = 0; i <= bound; ++i) out << FmtInt(av.NumOff0[s](i, j), 6);
      out << '\n';
    }
  }
}

const char* LayerLabel(int layer) {
  return layer == 0 ? "Estimate" : layer == 1 ? "CI95L" : "CI95U";
}

void WriteNeAndVariances(const AgeVariables& av, std::ostream& out, int layers) {
  WriteSectionHeading(out, 20, "3. Estimates");
  out << '\n'
      << "Estimates of generation effective size (Ne) & generation intervals (GI)" << '\n'
      << '\n'
      << FmtText(" ", 12) << FmtText("Ne", 12) << FmtText("GI", 12) << FmtText("Paternal-GI", 12)
      << FmtText("Maternal-GI", 12) << '\n'
      << Dashes(60) << '\n';
  for (int l = 0; l < layers; ++l) {
    out << FmtText(LayerLabel(l), 12) << FmtInt(av.NeEstimate[l], 12);
    for (int k = 1; k <= 3; ++k) out << FmtFixed(av.GIEstimate[k][l], 12, 2);
    out << '\n';
  }
  out << '\n'
      << '\n'
      << "Estimates of variances and covariances of lifetime family size" << '\n'
      << '\n'
      << FmtText(" ", 8);
  for (const char* t : {"Var(mm)", "Var(mf)", "Cov(mm,mf)", "Var(fm)", "Var(ff)", "Cov(fm,ff)"})
    out << FmtText(t, 11);
  out << '\n' << Dashes(74) << '\n';
  for (int l = 0; l < layers; ++l) {
    out << FmtText(LayerLabel(l), 8);
    for (int s = 1; s <= 2; ++s)
      for (int k = 1; k <= 3; ++k) out << FmtFixed(av.Var[k][s][l], 11, 2);
    out << '\n';
  }
}

// One table of the estimate block (column col) over ages 1..MaxNumAgeClass.
void WriteParameterTable(const AgeVariables& av, std::ostream& out, const std::string& title,
                         int col, int decimals, bool intervals) {
  const int n1 = av.NumAgeClass[1], n2 = av.NumAgeClass[2];
  auto value = [&](int layer, int row, int width) {
    return FmtFixed(av.Estimate[layer](row, col), width, decimals);
  };
  out << '\n' << title << '\n';
  if (!intervals) {
    out << FmtText("AgeClass", 8) << FmtText("Est(Male)", 12) << FmtText("Est(Female)", 12) << '\n'
        << Dashes(32) << '\n';
    for (int a = 1; a <= av.MaxNumAgeClass; ++a) {
      const bool m = a <= n1, f = a <= n2;
      std::string row = FmtInt(a, 8);
      if (m) row += value(0, a, 12);
      if (f) row += value(0, n1 + a, m ? 12 : 24);
      out << row << '\n';
    }
    return;
  }
  out << std::string(22, ' ') << "Males" << std::string(24, ' ') << "Females" << '\n'
      << std::string(10, ' ') << Dashes(27) << std::string(2, ' ') << Dashes(27) << '\n'
      << FmtText("AgeClass", 8);
  for (const char* t : {"Est", "CI95L", "CI95U", "Est", "CI95L", "CI95U"}) out << FmtText(t, 10);
  out << '\n' << Dashes(68) << '\n';
  for (int a = 1; a <= av.MaxNumAgeClass; ++a) {
    const bool m = a <= n1, f = a <= n2;
    std::string row = FmtInt(a, 8);
    if (m)
      for (int l = 0; l < 3; ++l) row += value(l, a, 10);
    if (f) {
      row += value(0, n1 + a, m ? 10 : 40);
      row += value(1, n1 + a, 10) + value(2, n1 + a, 10);
    }
    out << row << '\n';
  }
}

}  // namespace

void StampFinish(AgeVariables& av) {
  const LocalStamp now = LocalNow();
  av.Date2 = common::PadRight(av.Date2, 16).substr(0, 8) + common::PadRight(DateText(now), 8);
  av.Time2 = common::PadRight(av.Time2, 20).substr(0, 10) + common::PadRight(TimeText(now), 10);
}

void WriteReport(const AgeVariables& av, std::ostream& out) {
  const bool intervals = av.NumCI95Sample >= 1;
  WriteTitleAndTimes(av, out);
  WriteParameters(av, out);
  WriteSampleSizes(av, out);
  WritePairCounts(av, out);
  WriteFamilySizes(av, out);
  WriteNeAndVariances(av, out, intervals ? 3 : 1);
  WriteParameterTable(av, out, "Estimates of parameter P", 1, 4, intervals);
  WriteParameterTable(av, out, "Estimates of parameter N", 2, 1, intervals);
  if (av.SamplingPrbKnown != 1)
    WriteParameterTable(av, out, "Estimates of parameter S", 3, 4, intervals);
  WriteParameterTable(av, out, "Estimates of parameter effective size of each age class", 4, 1,
                      intervals);
}

void Output(AgeVariables& av) {
  StampFinish(av);
  std::ostringstream text;
  WriteReport(av, text);
  WriteWholeFile(common::TrimRight(av.FName[1]) + ".Ne", text.str());
}

}  // namespace estimation

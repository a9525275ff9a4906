#include "estimation/replicate_writer.h"

#include <charconv>
#include <sstream>

#include "common/fixed_format.h"
#include "estimation/file_output.h"

namespace estimation {

namespace {

// The confidence level is read back as a whole number and then discarded by
// both readers; a level kept as "**" (too wide) is written as 0.
std::string ConfidenceToken(const std::string& level) {
  const std::string t = common::TrimBoth(level);
  std::size_t k = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
  if (k == t.size()) return "0";
  for (; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return "0";
  return t;
}

void WriteReals(std::ostream& out, const std::vector<double>& v, int first, int last) {
  for (int i = first; i <= last; ++i)
    out << (i > first ? " " : "") << ExactReal(v[static_cast<std::size_t>(i)]);
  out << '\n';
}

void WriteHeader(std::ostream& out, const AgeVariables& av) {
  out << FreeFormToken(common::TrimRight(av.DatasetName)) << '\n'
      << FreeFormToken(common::TrimBoth(av.FName[1])) << '\n'
      << av.SmplSize << '\n'
      << av.NumAgeClass[1] << ' ' << av.NumAgeClass[2] << '\n'
      << av.MinParentAge[1] << ' ' << av.MinParentAge[2] << '\n'
      << av.FamilySizeDist << '\n'
      << av.SamplingPrbKnown << '\n';
  if (av.SamplingPrbKnown == 1)
    for (int s = 1; s <= 2; ++s)
      WriteReals(out, av.SamplingPrbPrior[static_cast<std::size_t>(s)], 1,
                 av.NumAgeClass[static_cast<std::size_t>(s)]);
  out << av.NumCI95Sample << '\n' << av.NumLoci << '\n' << ConfidenceToken(av.ConfidenceLevel) << '\n';
  for (int l = 1; l <= av.NumLoci; ++l)
    out << (l > 1 ? " " : "") << FreeFormToken(common::TrimBoth(av.MarkerID[static_cast<std::size_t>(l)]));
  out << '\n';
  for (int l = 1; l <= av.NumLoci; ++l)
    out << (l > 1 ? " " : "") << av.Dominant[static_cast<std::size_t>(l)];
  out << '\n';
  WriteReals(out, av.DropRate, 1, av.NumLoci);
  WriteReals(out, av.OtherRate, 1, av.NumLoci);
}

void WriteIndividuals(std::ostream& out, const AgeVariables& av, const SimuSample& sample) {
  std::string line;
  for (int i = 1; i <= av.SmplSize; ++i) {
    line = ReplicateID(sample, i);
    line += ' ';
    line += std::to_string(sample.Sex[static_cast<std::size_t>(i)]);
    line += ' ';
    line += std::to_string(sample.Age[static_cast<std::size_t>(i)]);
    for (int l = 1; l <= av.NumLoci; ++l) {
      const int slots = av.Dominant[static_cast<std::size_t>(l)] == 1 ? 1 : 2;
      for (int a = 1; a <= slots; ++a) {
        line += ' ';
        line += std::to_string(sample.Code(a, l, i));
      }
    }
    line += '\n';
    out << line;
  }
}

}  // namespace

std::string ReplicateID(const SimuSample& sample, int i) {
  return "Ind" + std::to_string(sample.Number[static_cast<std::size_t>(i)]);
}

std::string FreeFormToken(const std::string& text) {
  bool quote = text.empty();
  for (char c : text)
    if (c == ' ' || c == '\t' || c == '\r' || c == ',' || c == '/' || c == '*' || c == '"' || c == '\'')
      quote = true;
  if (!quote) return text;
  std::string q = "\"";
  for (char c : text) {
    q += c;
    if (c == '"') q += '"';
  }
  return q + '"';
}

std::string ExactReal(double x) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c == 'e') c = 'E';
  return s;
}

void WriteSampleFile(std::ostream& out, const AgeVariables& av, const SimuSample& sample) {
  WriteHeader(out, av);
  WriteIndividuals(out, av, sample);
  out << ExactReal(av.PropPrntSampled[1]) << ' ' << ExactReal(av.PropPrntSampled[2]) << '\n';
  // No known fathers, known mothers, excluded fathers or excluded mothers.
  out << "0\n0\n0\n0\n";
}

void WriteVimbrelData(const AgeVariables& av, const SimuSample& sample) {
  std::ostringstream text;
  WriteSampleFile(text, av, sample);
  WriteWholeFile("AgeSexGtype.dat", text.str());
}

}  // namespace estimation

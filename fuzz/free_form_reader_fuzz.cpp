// Fuzz target of common::FreeFormReader. The first byte gives the number k
// of description bytes that follow (k = byte % 33); each describes one
// target: kind = byte % 4 (0 whole number, 1 real, 2 text of length byte / 4,
// 3 the end of one read and the start of the next). The rest is the text.
// The reads are made in turn, over and over, until one returns false.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/free_form_reader.h"
#include "fuzz_support.h"

namespace {

using common::ReadTarget;

// The values of one read; a text target starts filled with '~' so that one
// left unchanged (a null value) still has its length.
struct OneRead {
  std::vector<char> kinds;
  std::vector<std::size_t> lengths;
  std::vector<int> ints;
  std::vector<double> reals;
  std::vector<std::string> texts;
  std::vector<ReadTarget> targets;

  void Add(char kind, std::size_t length) {
    kinds.push_back(kind);
    lengths.push_back(length);
  }
  void Bind() {
    ints.assign(kinds.size(), 0);
    reals.assign(kinds.size(), 0.0);
    texts.assign(kinds.size(), std::string());
    targets.clear();
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      if (kinds[k] == 'i') targets.push_back(ReadTarget::Int(ints[k]));
      if (kinds[k] == 'r') targets.push_back(ReadTarget::Real(reals[k]));
      if (kinds[k] == 't') {
        texts[k].assign(lengths[k], '~');
        targets.push_back(ReadTarget::Text(texts[k], lengths[k]));
      }
    }
  }
  // What a read promises for the values it stored, whether it succeeded or not.
  void Check() const {
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      if (kinds[k] == 'r' && !std::isfinite(reals[k])) fuzz::Finding("a real is not finite");
      if (kinds[k] == 't' && texts[k].size() != lengths[k])
        fuzz::Finding("a text does not have its target length");
    }
  }
};

std::vector<OneRead> Describe(const std::uint8_t* data, std::size_t count) {
  std::vector<OneRead> reads(1);
  for (std::size_t k = 0; k < count; ++k) {
    const unsigned b = data[k];
    switch (b % 4) {
      case 0: reads.back().Add('i', 0); break;
      case 1: reads.back().Add('r', 0); break;
      case 2: reads.back().Add('t', b / 4); break;
      default: reads.emplace_back(); break;
    }
  }
  return reads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(data[0] % 33, size - 1);
  std::vector<OneRead> reads = Describe(data + 1, count);
  const std::string text(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n';

  std::istringstream in(text);
  common::FreeFormReader reader(in);
  int before = 0;
  // Every read that returns true has taken at least one line.
  for (std::size_t n = 0; n <= lines; ++n) {
    OneRead& r = reads[n % reads.size()];
    r.Bind();
    const bool ok = reader.Read(r.targets);
    r.Check();
    if (reader.LinesRead() < before || static_cast<std::size_t>(reader.LinesRead()) > lines)
      fuzz::Finding("the line count went wrong");
    if (ok && reader.LinesRead() == before) fuzz::Finding("a read took no line");
    before = reader.LinesRead();
    if (!ok) return 0;
  }
  fuzz::Finding("more reads succeeded than the text has lines");
}

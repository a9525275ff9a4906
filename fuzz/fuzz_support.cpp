#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "common/free_form_reader.h"

namespace fuzz {

namespace {

using common::ReadTarget;

// Within these the readers' arrays take at most a few megabytes.
constexpr long long kMaxSmplSize = 20000;
constexpr long long kMaxNumLoci = 20000;
constexpr long long kMaxCells = 200000;  // individuals times loci
constexpr int kMaxAge = 50;

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "agefuzz.XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) Finding("cannot create a scratch directory");
    dir_ = tmpl;
  }
  ~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace

InScratchDirectory::InScratchDirectory() : old_(std::filesystem::current_path()) {
  static const ScratchDirectory dir;
  std::filesystem::current_path(dir.path());
}

InScratchDirectory::~InScratchDirectory() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
}

void WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!f) Finding("cannot write the input file");
}

// Lines 1 to 7, the two optional lines of sampling proportions, the number
// of replicates and the number of loci, read as both readers read them.
HeaderSizes ReadHeaderSizes(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  common::FreeFormReader rd(in);
  std::string text;
  int smpl = 0, max1 = 0, max2 = 0, min1 = 0, min2 = 0, dist = 0, known = 0, boot = 0, loci = 0;
  if (!rd.Read({ReadTarget::Text(text, 1)}) || !rd.Read({ReadTarget::Text(text, 1)}) ||
      !rd.Read({ReadTarget::Int(smpl)}))
    return {};
  if (!rd.Read({ReadTarget::Int(max1), ReadTarget::Int(max2)}) || max1 < 1 || max1 > kMaxAge ||
      max2 < 1 || max2 > kMaxAge)
    return {};
  if (!rd.Read({ReadTarget::Int(min1), ReadTarget::Int(min2)}) || !rd.Read({ReadTarget::Int(dist)}) ||
      !rd.Read({ReadTarget::Int(known)}))
    return {};
  if (known == 1) {
    for (const int n : {max1, max2}) {
      std::vector<double> prb(static_cast<std::size_t>(n) + 1, 0.0);
      std::vector<ReadTarget> t;
      common::AppendReals(t, prb, 1, n);
      if (!rd.Read(t)) return {};
    }
  }
  if (!rd.Read({ReadTarget::Int(boot)}) || !rd.Read({ReadTarget::Int(loci)})) return {smpl, 0};
  return {smpl, loci};
}

bool SizesFit(const HeaderSizes& h) {
  return h.smpl_size <= kMaxSmplSize && h.num_loci <= kMaxNumLoci &&
         h.smpl_size * h.num_loci <= kMaxCells;
}

void Finding(const char* what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz

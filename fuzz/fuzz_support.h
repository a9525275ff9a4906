// Helpers shared by the fuzz targets: a private working directory for the
// readers' fixed file names, the header sizes an input asks for, and the
// report of a broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace fuzz {

// Makes the scratch directory of this process the working directory for the
// lifetime of the object and then returns to the one before, so relative
// paths given to the fuzzing engine keep working. The directory is made on
// first use (parallel fuzzing jobs and corpus tests each get their own) and
// removed when the process ends normally.
class InScratchDirectory {
 public:
  InScratchDirectory();
  ~InScratchDirectory();
  InScratchDirectory(const InScratchDirectory&) = delete;
  InScratchDirectory& operator=(const InScratchDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

// Writes the input, byte for byte, to the named file of the working directory.
void WriteInput(const char* name, const std::uint8_t* data, std::size_t size);

// Sample size and number of loci as both file readers see them: their
// headers are read by the same sequence of reads up to the number of loci.
// A value the readers never get to (an earlier read or check fails) is 0.
struct HeaderSizes {
  long long smpl_size = 0;
  long long num_loci = 0;
};
HeaderSizes ReadHeaderSizes(const std::uint8_t* data, std::size_t size);

// True when the arrays sized by the header stay within a few megabytes. The
// readers allocate them before they find out that the individuals are
// missing, so a short input could otherwise ask for gigabytes.
bool SizesFit(const HeaderSizes& h);

// A broken invariant: prints it and aborts, which the fuzzer reports.
[[noreturn]] void Finding(const char* what);

}  // namespace fuzz

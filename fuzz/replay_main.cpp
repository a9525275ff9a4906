// Plain main for the fuzz targets: runs every file named on the command
// line, and every file of every folder named there (in name order), through
// LLVMFuzzerTestOneInput once, so a corpus runs as an ordinary test without
// the fuzzing engine. A crash or abort of the target fails the run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path& arg) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(arg)) {
    for (const auto& entry : std::filesystem::directory_iterator(arg))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(arg);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
    return 2;
  }
  std::vector<std::filesystem::path> files;
  for (int a = 1; a < argc; ++a) {
    const std::filesystem::path p(argv[a]);
    std::error_code ec;
    if (!std::filesystem::exists(p, ec)) {
      std::fprintf(stderr, "no such file or folder: %s\n", argv[a]);
      return 2;
    }
    const auto more = Inputs(p);
    files.insert(files.end(), more.begin(), more.end());
  }
  if (files.empty()) {
    std::fprintf(stderr, "no inputs found\n");
    return 2;
  }
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "cannot read %s\n", f.c_str());
      return 2;
    }
    std::fprintf(stderr, "running %s (%zu bytes)\n", f.filename().c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs ran without a finding\n", files.size());
  return 0;
}

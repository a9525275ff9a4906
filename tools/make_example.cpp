// make_example: writes an example control and data file "Tavimorelund.dat"
// to standard output, simulated from the parameters given as key=value
// arguments (see the usage text). The same arguments give the same file.
#include <iostream>
#include <string>
#include <vector>

#include "common/fp_mode.h"
#include "tools/example_data.h"

int main(int argc, char** argv) {
  common::EnableFlushToZero();  // the arithmetic mode of the main program
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args)
    if (a == "-h" || a == "--help") {
      std::cout << tools::ExampleUsage();
      return 0;
    }
  try {
    const tools::ExamplePlan plan = tools::ParseExampleArgs(args);
    const tools::ExampleData d = tools::MakeExample(plan);
    for (int s = 1; s <= 2; ++s) {
      const auto z = static_cast<std::size_t>(s);
      const char* parent = s == 1 ? "father" : "mother";
      if (static_cast<int>(d.Known[z].size()) < plan.NumKnown[z])
        std::cerr << "make_example: only " << d.Known[z].size() << " known " << parent
                  << "s are possible (true pairs with both in the sample)\n";
      if (static_cast<int>(d.Excluded[z].size()) < plan.NumExcluded[z])
        std::cerr << "make_example: only " << d.Excluded[z].size() << " offspring with excluded " << parent
                  << "s are possible\n";
    }
    tools::WriteExample(std::cout, d);
  } catch (const tools::UsageError& e) {
    std::cerr << "make_example: " << e.what() << "\n" << tools::ExampleUsage();
    return 2;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "make_example: writing the data set failed\n";
    return 1;
  }
  return 0;
}

#include <iostream>

#include "common/fp_mode.h"
#include "pairwise/companion.h"

int main() {
  common::EnableFlushToZero();
  return pairwise::RunCompanion(std::cout);
}

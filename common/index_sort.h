// Index quicksorts: return a permutation, leave the keys in place.
// Pieces of at most 7 elements are sorted by straight insertion, the median
// of three is the partition element, pending pieces wait on a 50-entry stack.
// Both use 1-based arrays: keys[1..n], indx[1..n] (element 0 unused).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace common {

// Thrown when a sort would need more than its 50 stack entries; each program
// turns it into its own fatal stop. Never happens below 2^25 keys.
struct SortStackOverflow : std::runtime_error {
  SortStackOverflow() : std::runtime_error("NSTACK too small in indexx") {}
};

// Keys are 20-character texts compared character by character by code.
void IndexCh(int n, const std::vector<std::string>& keys, std::vector<int>& indx);

// Keys in double precision, ascending.
void IndexX(int n, const std::vector<double>& keys, std::vector<int>& indx);

}  // namespace common

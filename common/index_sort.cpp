// Index quicksort (median of three, straight insertion below 7 elements,
// explicit 50-entry stack). The order of equal keys is a property of these
// exact steps, so both sorts share one implementation.
#include "common/index_sort.h"

#include <array>
#include <cstring>
#include <utility>

namespace common {

namespace {

constexpr int kInsertionLimit = 7;  // pieces with ir - l below this: insertion
constexpr int kStackSize = 50;

// A 20-character key, blank-padded or cut, compared by unsigned char code.
struct Key20 {
  std::array<char, 20> c;
};
int Compare(const Key20& a, const Key20& b) { return std::memcmp(a.c.data(), b.c.data(), 20); }
bool operator<(const Key20& a, const Key20& b) { return Compare(a, b) < 0; }
bool operator>(const Key20& a, const Key20& b) { return Compare(a, b) > 0; }
bool operator<=(const Key20& a, const Key20& b) { return Compare(a, b) <= 0; }

Key20 MakeKey(const std::string& s) {
  Key20 k;
  k.c.fill(' ');
  std::memcpy(k.c.data(), s.data(), s.size() < 20 ? s.size() : 20);
  return k;
}

template <class Key>
void SwapIf(const std::vector<Key>& arr, std::vector<int>& indx, int a, int b) {
  if (arr[indx[a]] > arr[indx[b]]) std::swap(indx[a], indx[b]);
}

// Straight insertion over indx[l..ir].
template <class Key>
void InsertionSort(const std::vector<Key>& arr, std::vector<int>& indx, int l, int ir) {
  for (int j = l + 1; j <= ir; ++j) {
    const int t = indx[j];
    const Key a = arr[t];
    int i = j - 1;
    for (; i >= l; --i) {
      if (arr[indx[i]] <= a) break;
      indx[i + 1] = indx[i];
    }
    indx[i + 1] = t;
  }
}

// Sorts indx[1..n] so that arr[indx[1]] <= ... <= arr[indx[n]]; arr is 1-based.
template <class Key>
void IndexQuicksort(int n, const std::vector<Key>& arr, std::vector<int>& indx) {
  if (indx.size() < static_cast<std::size_t>(n) + 1) indx.resize(static_cast<std::size_t>(n) + 1);
  for (int j = 1; j <= n; ++j) indx[j] = j;
  std::array<int, kStackSize + 1> istack{};  // 1-based
  int jstack = 0;
  int l = 1;
  int ir = n;
  for (;;) {
    if (ir - l < kInsertionLimit) {
      InsertionSort(arr, indx, l, ir);
      if (jstack == 0) return;
      ir = istack[jstack];
      l = istack[jstack - 1];
      jstack -= 2;
      continue;
    }
    const int k = (l + ir) / 2;
    std::swap(indx[k], indx[l + 1]);
    SwapIf(arr, indx, l, ir);
    SwapIf(arr, indx, l + 1, ir);
    SwapIf(arr, indx, l, l + 1);
    int i = l + 1;
    int j = ir;
    const int t = indx[l + 1];
    const Key a = arr[t];
    for (;;) {
      do ++i; while (arr[indx[i]] < a);
      do --j; while (arr[indx[j]] > a);
      if (j < i) break;
      std::swap(indx[i], indx[j]);
    }
    indx[l + 1] = indx[j];
    indx[j] = t;
    if (jstack + 2 > kStackSize) throw SortStackOverflow();
    jstack += 2;
    if (ir - i + 1 >= j - l) {
      istack[jstack] = ir;
      istack[jstack - 1] = i;
      ir = j - 1;
    } else {
      istack[jstack] = j - 1;
      istack[jstack - 1] = l;
      l = i;
    }
  }
}

// n <= 1 needs no sorting (n = 1 gives indx[1] = 1).
bool Trivial(int n, std::vector<int>& indx) {
  if (n > 1) return false;
  if (n == 1) {
    if (indx.size() < 2) indx.resize(2);
    indx[1] = 1;
  }
  return true;
}

}  // namespace

void IndexCh(int n, const std::vector<std::string>& keys, std::vector<int>& indx) {
  if (Trivial(n, indx)) return;
  if (keys.size() < static_cast<std::size_t>(n) + 1) {
    throw std::logic_error("internal error: IndexCh keys shorter than n");
  }
  std::vector<Key20> arr(static_cast<std::size_t>(n) + 1);
  for (int j = 1; j <= n; ++j) arr[j] = MakeKey(keys[static_cast<std::size_t>(j)]);
  IndexQuicksort(n, arr, indx);
}

void IndexX(int n, const std::vector<double>& keys, std::vector<int>& indx) {
  if (Trivial(n, indx)) return;
  if (keys.size() < static_cast<std::size_t>(n) + 1) {
    throw std::logic_error("internal error: IndexX keys shorter than n");
  }
  IndexQuicksort(n, keys, indx);
}

}  // namespace common

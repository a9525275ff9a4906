#include "common/index_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace {

using common::IndexCh;
using common::IndexX;

// Small deterministic generator for test keys (splitmix64).
struct TestRandom {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
};

// Reference order: indices 1..n stably sorted by key.
template <class Less>
std::vector<int> StableOrder(int n, Less less) {
  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), less);
  order.insert(order.begin(), 0);  // 1-based like the sorts' result
  return order;
}

bool IsPermutation(int n, const std::vector<int>& indx) {
  std::vector<bool> seen(static_cast<std::size_t>(n) + 1, false);
  for (int i = 1; i <= n; ++i) {
    if (indx[i] < 1 || indx[i] > n || seen[indx[i]]) return false;
    seen[indx[i]] = true;
  }
  return true;
}

std::string Pad20(std::string s) {
  s.resize(20, ' ');
  return s;
}

const int kSizes[] = {2, 3, 7, 8, 9, 15, 64, 1000, 10000};

TEST(IndexX, DistinctKeysGiveTheSortedOrder) {
  TestRandom rng{1};
  for (int n : kSizes) {
    SCOPED_TRACE(n);
    std::vector<double> keys(static_cast<std::size_t>(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i) keys[i] = static_cast<double>(rng.Next() >> 11) * 0x1p-53 - 0.5;
    std::vector<int> indx;
    IndexX(n, keys, indx);
    const auto expected = StableOrder(n, [&](int a, int b) { return keys[a] < keys[b]; });
    EXPECT_EQ(std::vector<int>(indx.begin() + 1, indx.begin() + n + 1),
              std::vector<int>(expected.begin() + 1, expected.end()));
  }
}

TEST(IndexX, ManyEqualKeysGiveASortedPermutation) {
  TestRandom rng{2};
  for (int n : kSizes) {
    for (int distinct : {1, 2, 5}) {
      SCOPED_TRACE(testing::Message() << n << " keys, " << distinct << " values");
      std::vector<double> keys(static_cast<std::size_t>(n) + 1, 0.0);
      for (int i = 1; i <= n; ++i) keys[i] = rng.Below(distinct) * 0.25;
      const std::vector<double> before = keys;
      std::vector<int> indx;
      IndexX(n, keys, indx);
      ASSERT_TRUE(IsPermutation(n, indx));
      for (int i = 2; i <= n; ++i) EXPECT_LE(keys[indx[i - 1]], keys[indx[i]]);
      EXPECT_EQ(keys, before);
    }
  }
}

// Equal keys: up to 7 keys, straight insertion keeps their order; from 8 on,
// the median-of-three step and the partition move them. The second order was
// traced by hand through the sort's steps.
TEST(IndexX, OrderOfEqualKeysFollowsTheSortSteps) {
  std::vector<int> indx;
  IndexX(7, {0, 2, 1, 2, 1, 2, 1, 2}, indx);
  EXPECT_EQ(indx, (std::vector<int>{0, 2, 4, 6, 1, 3, 5, 7}));
  indx.clear();
  IndexX(8, std::vector<double>(9, 3.0), indx);
  EXPECT_EQ(indx, (std::vector<int>{0, 1, 6, 7, 4, 5, 2, 3, 8}));
}

TEST(IndexX, AtMostOneKeyReturnsAtOnce) {
  std::vector<int> indx;
  IndexX(0, {0.0}, indx);
  EXPECT_TRUE(indx.empty());
  IndexX(1, {0.0, 5.0}, indx);
  ASSERT_EQ(indx.size(), 2u);
  EXPECT_EQ(indx[1], 1);
  std::vector<int> longer(5, 9);
  IndexX(1, {0.0, 5.0}, longer);
  EXPECT_EQ(longer, (std::vector<int>{9, 1, 9, 9, 9}));
}

TEST(IndexCh, DistinctKeysGiveTheSortedOrder) {
  TestRandom rng{3};
  for (int n : kSizes) {
    SCOPED_TRACE(n);
    std::vector<std::string> keys(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) {
      // The low digits make every key distinct.
      keys[i] = "ID" + std::to_string(rng.Next() % 1000000007ULL * 100000 + static_cast<std::uint64_t>(i));
    }
    std::vector<int> indx;
    IndexCh(n, keys, indx);
    const auto expected = StableOrder(n, [&](int a, int b) { return keys[a] < keys[b]; });
    EXPECT_EQ(std::vector<int>(indx.begin() + 1, indx.begin() + n + 1),
              std::vector<int>(expected.begin() + 1, expected.end()));
  }
}

TEST(IndexCh, ManyEqualKeysGiveASortedPermutation) {
  TestRandom rng{4};
  const std::string pool[] = {"B", "A  ", "A", "  A", "Z1"};
  for (int n : kSizes) {
    SCOPED_TRACE(n);
    std::vector<std::string> keys(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) keys[i] = pool[rng.Below(5)];
    std::vector<int> indx;
    IndexCh(n, keys, indx);
    ASSERT_TRUE(IsPermutation(n, indx));
    for (int i = 2; i <= n; ++i) EXPECT_LE(Pad20(keys[indx[i - 1]]), Pad20(keys[indx[i]]));
  }
}

// Texts compare over 20 characters, blank-padded, by unsigned character
// code: "AB" equals "AB " and a tab sorts below the padding blank; a
// character above 127 sorts after 'z'; characters after the 20th are cut.
TEST(IndexCh, ComparesTwentyBlankPaddedCharactersByCode) {
  const std::string long1 = "ABCDEFGHIJKLMNOPQRSTz";
  const std::string long2 = "ABCDEFGHIJKLMNOPQRSTa";
  std::vector<std::string> keys = {"", "\xE9t\xE9", "AB", "AB\t", "z", "AB ", long1, long2};
  std::vector<int> indx;
  IndexCh(7, keys, indx);
  // Seven keys are sorted by straight insertion: equal pairs (2, 5) and
  // (6, 7) keep their order.
  EXPECT_EQ(indx, (std::vector<int>{0, 3, 2, 5, 6, 7, 4, 1}));
}

TEST(IndexCh, OrderOfEqualKeysFollowsTheSortSteps) {
  std::vector<int> indx;
  IndexCh(8, std::vector<std::string>(9, "same"), indx);
  EXPECT_EQ(indx, (std::vector<int>{0, 1, 6, 7, 4, 5, 2, 3, 8}));
}

TEST(IndexCh, AtMostOneKeyReturnsAtOnce) {
  std::vector<int> indx;
  IndexCh(0, {""}, indx);
  EXPECT_TRUE(indx.empty());
  IndexCh(1, {"", "X"}, indx);
  ASSERT_EQ(indx.size(), 2u);
  EXPECT_EQ(indx[1], 1);
}

}  // namespace

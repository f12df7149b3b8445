#include "diff/editscript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace trosk {
namespace {

using Seq = std::vector<int>;

// Insertions plus deletions of a shortest script, by the quadratic table.
long long distance(const Seq& a, const Seq& b) {
  std::vector<std::vector<int>> t(a.size() + 1, std::vector<int>(b.size() + 1, 0));
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    }
  }
  return static_cast<long long>(a.size() + b.size()) - 2LL * t[a.size()][b.size()];
}

Seq kept(const Seq& v, const std::vector<char>& flags) {
  Seq out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!flags[i]) out.push_back(v[i]);
  }
  return out;
}

// Runs the comparison and checks the script is sound: flags sized to each
// side, the unflagged elements of both sides equal, and the count right.
long long script(const Seq& a, const Seq& b, const EditLimits& limits) {
  std::vector<char> removed, added;
  const long long n = editscript(a, b, limits, &removed, &added);
  EXPECT_EQ(removed.size(), a.size());
  EXPECT_EQ(added.size(), b.size());
  EXPECT_EQ(kept(a, removed), kept(b, added));
  EXPECT_EQ(n, std::count(removed.begin(), removed.end(), 1) + std::count(added.begin(), added.end(), 1));
  return n;
}

Seq randomseq(std::mt19937& rng, std::size_t n, int kinds) {
  Seq v(n);
  for (int& x : v) x = static_cast<int>(rng() % static_cast<unsigned>(kinds));
  return v;
}

TEST(EditScriptTest, TrivialShapes) {
  const EditLimits limits = editlimits(10, 10);
  EXPECT_EQ(script({}, {}, limits), 0);
  EXPECT_EQ(script({1, 2, 3}, {}, limits), 3);
  EXPECT_EQ(script({}, {1, 2}, limits), 2);
  EXPECT_EQ(script({1, 2, 3}, {1, 2, 3}, limits), 0);
  EXPECT_EQ(script({0, 1, 2}, {3, 4, 5}, limits), 6);  // nothing in common
  EXPECT_EQ(script({1, 2, 3, 4}, {2, 4}, limits), 2);
}

TEST(EditScriptTest, ShortestScriptWithinTheLimits) {
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    const int kinds = 1 + static_cast<int>(rng() % 8);
    const Seq a = randomseq(rng, rng() % 120, kinds);
    const Seq b = randomseq(rng, rng() % 120, kinds);
    ASSERT_EQ(script(a, b, editlimits(a.size(), b.size())), distance(a, b));
  }
}

// Cutting the search short must still give a correct script, however short
// the cut; only its length may grow.
TEST(EditScriptTest, CutSearchesStayCorrect) {
  std::mt19937 rng(11);
  for (int round = 0; round < 1500; ++round) {
    const int kinds = 1 + static_cast<int>(rng() % 6);
    const Seq a = randomseq(rng, rng() % 150, kinds);
    const Seq b = randomseq(rng, rng() % 150, kinds);
    const long long best = distance(a, b);
    for (std::ptrdiff_t cap : {1, 2, 3, 7}) {
      EditLimits limits = editlimits(a.size(), b.size());
      limits.snakecap = cap;
      ASSERT_GE(script(a, b, limits), best);
    }
    EditLimits spent = editlimits(a.size(), b.size());
    spent.workcap = static_cast<long long>(rng() % 40);
    ASSERT_GE(script(a, b, spent), best);
  }
}

TEST(EditScriptTest, NoWorkLeftReplacesTheMiddleWhole) {
  EditLimits limits = editlimits(8, 8);
  limits.workcap = 0;
  // The common head and tail are still found; the rest is replaced.
  EXPECT_EQ(script({9, 1, 2, 1, 2, 8}, {9, 2, 1, 2, 1, 8}, limits), 8);
}

// Files that differ throughout would cost N*D steps; the limits keep them to
// a bounded amount of work and the script stays near the shortest.
TEST(EditScriptTest, LargeInputsThatDifferThroughoutStayCheap) {
  std::mt19937 rng(5);
  const std::size_t n = 60000;
  const Seq a = randomseq(rng, n, 4);
  const Seq b = randomseq(rng, n, 4);
  const auto start = std::chrono::steady_clock::now();
  const long long edits = script(a, b, editlimits(n, n));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(edits, static_cast<long long>(n));  // far from replacing everything (2n)
  EXPECT_LT(seconds, 30.0);
}

}  // namespace
}  // namespace trosk

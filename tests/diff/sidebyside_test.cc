#include "diff/sidebyside.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <string_view>

namespace trosk {
namespace {

// The rows as "=0,0 ~1,1 -2,_ +_,3", blocks as "|" before their first row.
std::string layout(const SideBySide& s) {
  static constexpr char kMarks[] = {'=', '~', '-', '+'};
  std::string out;
  std::size_t block = 0;
  for (std::size_t r = 0; r < s.rows.size(); ++r) {
    const SideRow& row = s.rows[r];
    if (!out.empty()) out += ' ';
    if (block < s.blocks.size() && s.blocks[block] == static_cast<int>(r)) out += '|', ++block;
    out += kMarks[static_cast<int>(row.kind)];
    out += row.left < 0 ? "_" : std::to_string(row.left);
    out += ',';
    out += row.right < 0 ? "_" : std::to_string(row.right);
  }
  return out;
}

// What any pairing must hold: each line of each side once and in order,
// lines of a row of the same kind equal, a block at each start of a run.
void expectwhole(const SideBySide& s) {
  int left = 0, right = 0;
  std::size_t block = 0;
  for (std::size_t r = 0; r < s.rows.size(); ++r) {
    const SideRow& row = s.rows[r];
    if (row.left >= 0) {
      ASSERT_EQ(row.left, left++);
    }
    if (row.right >= 0) {
      ASSERT_EQ(row.right, right++);
    }
    ASSERT_EQ(row.left < 0, row.kind == RowKind::kAdded);
    ASSERT_EQ(row.right < 0, row.kind == RowKind::kRemoved);
    if (row.kind == RowKind::kSame) {
      ASSERT_EQ(s.left[row.left], s.right[row.right]);
    }
    const bool starts = row.kind != RowKind::kSame && (r == 0 || s.rows[r - 1].kind == RowKind::kSame);
    ASSERT_EQ(starts, block < s.blocks.size() && s.blocks[block] == static_cast<int>(r));
    if (starts) ++block;
  }
  EXPECT_EQ(left, static_cast<int>(s.left.size()));
  EXPECT_EQ(right, static_cast<int>(s.right.size()));
  EXPECT_EQ(block, s.blocks.size());
}

TEST(SideBySideTest, RunsPairRemovedWithAddedLines) {
  EXPECT_EQ(layout(sidebyside("a\nb\nc\nd\ne\n", "a\nB\nc\nd\nE\nF\n")),
            "=0,0 |~1,1 =2,2 =3,3 |~4,4 +_,5");
  EXPECT_EQ(layout(sidebyside("a\nb\nc\nd\n", "a\nX\nd\n")), "=0,0 |~1,1 -2,_ =3,2");
  EXPECT_EQ(layout(sidebyside("a\nb\n", "x\na\nb\ny\n")), "|+_,0 =0,1 =1,2 |+_,3");
}

TEST(SideBySideTest, EmptyTexts) {
  EXPECT_EQ(layout(sidebyside("", "")), "");
  EXPECT_EQ(layout(sidebyside("", "a\nb")), "|+_,0 +_,1");
  EXPECT_EQ(layout(sidebyside("a\n", "")), "|-0,_");
}

TEST(SideBySideTest, LinesAreShownWithoutTheirEndsButComparedWithThem) {
  const SideBySide crlf = sidebyside("a\r\nb\r\nc\r\n", "a\r\nb\nc\r\n");
  EXPECT_EQ(layout(crlf), "=0,0 |~1,1 =2,2");
  EXPECT_EQ(crlf.left[1], "b");
  EXPECT_EQ(crlf.right[1], "b");

  const SideBySide last = sidebyside("a\nb", "a\nb\n");
  EXPECT_EQ(layout(last), "=0,0 |~1,1");
  EXPECT_EQ(last.left[1], "b");
  EXPECT_EQ(last.right[1], "b");

  EXPECT_EQ(sidebyside("\n\n", "").left, (std::vector<std::string_view>{"", ""}));
}

TEST(SideBySideTest, RandomEditsKeepEveryLineInOrder) {
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::string a, b;
    const int n = static_cast<int>(rng() % 30);
    for (int i = 0; i < n; ++i) {
      const std::string line = std::to_string(rng() % 6) + (rng() % 5 ? "\n" : "\r\n");
      if (rng() % 4) a += line;
      if (rng() % 4) b += rng() % 5 ? line : "x\n";
    }
    expectwhole(sidebyside(a, b));
  }
}

// 16 MB a side of short lines that differ throughout: the limits of the
// search keep the time bounded, the pairing stays whole.
TEST(SideBySideLargeTest, HostileInputStaysBounded) {
  std::mt19937 rng(3);
  std::string a, b;
  while (a.size() < (16u << 20)) a += static_cast<char>('a' + rng() % 4), a += '\n';
  while (b.size() < (16u << 20)) b += static_cast<char>('a' + rng() % 4), b += '\n';
  const auto start = std::chrono::steady_clock::now();
  const SideBySide s = sidebyside(a, b);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  expectwhole(s);
  EXPECT_LT(seconds, 60.0);
}

}  // namespace
}  // namespace trosk

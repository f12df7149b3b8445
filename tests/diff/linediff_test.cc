#include "diff/linediff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace trosk {
namespace {

std::string diff(std::string_view a, std::string_view b, int* hunks = nullptr) {
  std::string out;
  const int n = unifieddiff(a, b, "a.txt", "b.txt", &out);
  if (hunks) *hunks = n;
  return out;
}

// Lines "1\n" .. "n\n".
std::string numbered(int n) {
  std::string text;
  for (int i = 1; i <= n; ++i) text += std::to_string(i) + "\n";
  return text;
}

// Splits after each "\n", keeping the line ends, as a patch tool sees lines.
std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    out.emplace_back(text.substr(start, end - start));
    start = end;
  }
  return out;
}

// Parses "start[,count]".
void parserange(const std::string& s, long* start, long* count) {
  const std::size_t comma = s.find(',');
  *start = std::stol(s.substr(0, comma));
  *count = comma == std::string::npos ? 1 : std::stol(s.substr(comma + 1));
}

struct Patched {
  bool ok = true;
  std::string text;
  long plus = 0, minus = 0;
};

Patched rejected() {
  Patched r;
  r.ok = false;
  return r;
}

// Applies a unified diff strictly: context and removed lines must match the
// old text exactly, hunk counts must agree with the hunk bodies, and hunks
// must come in order.
Patched applypatch(std::string_view oldtext, std::string_view patch) {
  Patched r;
  const std::vector<std::string> old = lines(oldtext);
  const std::vector<std::string> p = lines(patch);
  std::vector<std::string> result;
  std::size_t at = 0;  // next unread old line
  std::size_t k = 0;
  if (p.empty()) {
    r.text = std::string(oldtext);
    return r;
  }
  if (p.size() < 2 || p[0].rfind("--- ", 0) != 0 || p[1].rfind("+++ ", 0) != 0) return rejected();
  k = 2;
  while (k < p.size()) {
    const std::string& h = p[k++];
    if (h.rfind("@@ -", 0) != 0 || h.size() < 8 || h.substr(h.size() - 4) != " @@\n") return rejected();
    const std::string body = h.substr(4, h.size() - 8);
    const std::size_t plus = body.find(" +");
    if (plus == std::string::npos) return rejected();
    long os, oc, ns, nc;
    parserange(body.substr(0, plus), &os, &oc);
    parserange(body.substr(plus + 2), &ns, &nc);
    const std::size_t from = oc == 0 ? static_cast<std::size_t>(os) : static_cast<std::size_t>(os - 1);
    if (from < at || from > old.size()) return rejected();
    if (static_cast<long>(result.size() + (from - at)) != (nc == 0 ? ns : ns - 1)) return rejected();
    for (; at < from; ++at) result.push_back(old[at]);
    long seenold = 0, seennew = 0;
    while (k < p.size() && p[k].rfind("@@", 0) != 0) {
      std::string line = p[k++].substr(1);
      const char mark = p[k - 1][0];
      if (k < p.size() && p[k] == "\\ No newline at end of file\n") {
        if (line.empty() || line.back() != '\n') return rejected();
        line.pop_back();
        ++k;
      }
      if (mark == ' ' || mark == '-') {
        if (at >= old.size() || old[at] != line) return rejected();
        ++at, ++seenold;
      }
      if (mark == ' ' || mark == '+') result.push_back(line), ++seennew;
      if (mark == '-') ++r.minus;
      if (mark == '+') ++r.plus;
      if (mark != ' ' && mark != '-' && mark != '+') return rejected();
    }
    if (seenold != oc || seennew != nc) return rejected();
  }
  for (; at < old.size(); ++at) result.push_back(old[at]);
  for (const std::string& l : result) r.text += l;
  return r;
}

// Edit distance (insertions plus deletions) through the longest common
// subsequence, by the plain quadratic table.
long editdistance(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::vector<int>> t(a.size() + 1, std::vector<int>(b.size() + 1, 0));
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    }
  }
  return static_cast<long>(a.size() + b.size()) - 2L * t[a.size()][b.size()];
}

TEST(UnifiedDiffTest, EqualTextsGiveNothing) {
  std::string out = "kept";
  EXPECT_EQ(unifieddiff("a\nb\n", "a\nb\n", "x", "y", &out), 0);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(unifieddiff("", "", "x", "y", &out), 0);
  EXPECT_EQ(unifieddiff("no end", "no end", "x", "y", &out), 0);
  EXPECT_EQ(out, "kept");
}

TEST(UnifiedDiffTest, AppendsToWhatIsAlreadyThere) {
  std::string out = "before\n";
  EXPECT_EQ(unifieddiff("a\n", "b\n", "old name", "new name", &out), 1);
  EXPECT_EQ(out, "before\n--- old name\n+++ new name\n@@ -1 +1 @@\n-a\n+b\n");
}

TEST(UnifiedDiffTest, EmptyAgainstNonEmptyBothWays) {
  int hunks = 0;
  EXPECT_EQ(diff("", "a\nb\n", &hunks), "--- a.txt\n+++ b.txt\n@@ -0,0 +1,2 @@\n+a\n+b\n");
  EXPECT_EQ(hunks, 1);
  EXPECT_EQ(diff("a\nb\n", "", &hunks), "--- a.txt\n+++ b.txt\n@@ -1,2 +0,0 @@\n-a\n-b\n");
  EXPECT_EQ(hunks, 1);
  EXPECT_EQ(diff("", "x"), "--- a.txt\n+++ b.txt\n@@ -0,0 +1 @@\n+x\n\\ No newline at end of file\n");
}

TEST(UnifiedDiffTest, InsertAndDeleteAtStartMiddleAndEnd) {
  const std::string base = numbered(10);
  const std::string head = "--- a.txt\n+++ b.txt\n";
  EXPECT_EQ(diff(base, "0\n" + base), head + "@@ -1,3 +1,4 @@\n+0\n 1\n 2\n 3\n");
  EXPECT_EQ(diff("0\n" + base, base), head + "@@ -1,4 +1,3 @@\n-0\n 1\n 2\n 3\n");
  EXPECT_EQ(diff(base, base + "11\n"), head + "@@ -8,3 +8,4 @@\n 8\n 9\n 10\n+11\n");
  EXPECT_EQ(diff(base + "11\n", base), head + "@@ -8,4 +8,3 @@\n 8\n 9\n 10\n-11\n");
  const std::string mid = "1\n2\n3\n4\n5\nnew\n6\n7\n8\n9\n10\n";
  EXPECT_EQ(diff(base, mid), head + "@@ -3,6 +3,7 @@\n 3\n 4\n 5\n+new\n 6\n 7\n 8\n");
  EXPECT_EQ(diff(mid, base), head + "@@ -3,7 +3,6 @@\n 3\n 4\n 5\n-new\n 6\n 7\n 8\n");
  // A deletion right after the head: context before is short, start stays 1.
  EXPECT_EQ(diff(base, "1\n3\n4\n5\n6\n7\n8\n9\n10\n"), head + "@@ -1,5 +1,4 @@\n 1\n-2\n 3\n 4\n 5\n");
  EXPECT_EQ(diff(base, "1\n2\n3\n4\n5\nsix\n7\n8\n9\n10\n"),
            head + "@@ -3,7 +3,7 @@\n 3\n 4\n 5\n-6\n+six\n 7\n 8\n 9\n");
}

TEST(UnifiedDiffTest, ChangesShareAHunkWhenTheirContextsMeet) {
  std::string a = numbered(20);
  // Lines 4 and 11 changed: six common lines between them, the two contexts touch.
  std::string b = a;
  b.replace(b.find("4\n"), 2, "four\n");
  b.replace(b.find("\n11\n") + 1, 3, "eleven\n");
  int hunks = 0;
  std::string out = diff(a, b, &hunks);
  EXPECT_EQ(hunks, 1);
  EXPECT_NE(out.find("@@ -1,14 +1,14 @@\n"), std::string::npos) << out;

  // Lines 4 and 12 changed: seven common lines between them, two hunks.
  b = a;
  b.replace(b.find("4\n"), 2, "four\n");
  b.replace(b.find("\n12\n") + 1, 3, "twelve\n");
  out = diff(a, b, &hunks);
  EXPECT_EQ(hunks, 2);
  EXPECT_NE(out.find("@@ -1,7 +1,7 @@\n 1\n 2\n 3\n-4\n+four\n 5\n 6\n 7\n@@ -9,7 +9,7 @@\n 9\n"),
            std::string::npos)
      << out;
}

TEST(UnifiedDiffTest, MissingFinalLineEndIsAChangeAndMarked) {
  const std::string head = "--- a.txt\n+++ b.txt\n";
  EXPECT_EQ(diff("a\nb\n", "a\nb"),
            head + "@@ -1,2 +1,2 @@\n a\n-b\n+b\n\\ No newline at end of file\n");
  EXPECT_EQ(diff("a\nb", "a\nb\n"),
            head + "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n");
  // Unchanged last line without an end appears as context with its mark.
  EXPECT_EQ(diff("a\nb", "x\nb"),
            head + "@@ -1,2 +1,2 @@\n-a\n+x\n b\n\\ No newline at end of file\n");
}

TEST(UnifiedDiffTest, CarriageReturnLineEndsDifferFromPlainOnes) {
  int hunks = 0;
  const std::string out = diff("a\r\nb\r\n", "a\nb\r\n", &hunks);
  EXPECT_EQ(hunks, 1);
  EXPECT_EQ(out, "--- a.txt\n+++ b.txt\n@@ -1,2 +1,2 @@\n-a\r\n+a\n b\r\n");
}

TEST(UnifiedDiffTest, BlankLinesAndRepeatsAreOrdinaryLines) {
  const std::string a = "\n\n\nx\n\n\n";
  const std::string b = "\n\nx\n\n\n\n";
  const std::string out = diff(a, b);
  const Patched p = applypatch(a, out);
  ASSERT_TRUE(p.ok) << out;
  EXPECT_EQ(p.text, b);
  EXPECT_EQ(p.plus + p.minus, 2);
}

// Random pairs over a few distinct lines, so matches abound and many
// shortest scripts compete: the diff must rebuild the new text exactly and
// change no more lines than the shortest script.
TEST(UnifiedDiffPropertyTest, PatchRebuildsNewTextWithMinimalChanges) {
  std::mt19937 rng(20240611);
  const char* alphabet[] = {"a\n", "b\n", "c\n", "a\r\n", "\n", "d"};
  for (int round = 0; round < 3000; ++round) {
    const int kinds = 1 + static_cast<int>(rng() % 5);
    auto make = [&](std::size_t n) {
      std::string t;
      for (std::size_t i = 0; i < n; ++i) t += alphabet[rng() % kinds];
      if (rng() % 4 == 0) t += "end";
      return t;
    };
    std::string a = make(rng() % 30);
    std::string b;
    if (rng() % 2) {
      b = make(rng() % 30);
    } else {  // a few edits of a
      std::vector<std::string> l = lines(a);
      for (int e = rng() % 5; e > 0; --e) {
        const std::size_t at = l.empty() ? 0 : rng() % (l.size() + 1);
        if (rng() % 2 && at < l.size()) l.erase(l.begin() + at);
        else l.insert(l.begin() + at, alphabet[rng() % 3]);
      }
      for (const std::string& s : l) b += s;
    }
    // A line without an end only stands last.
    auto fix = [](std::string* t) {
      std::string o;
      for (const std::string& s : lines(*t)) o += s.back() == '\n' ? s : s + "\n";
      if (!o.empty() && t->back() != '\n') o.pop_back();
      *t = o;
    };
    fix(&a);
    fix(&b);
    int hunks = -1;
    const std::string out = diff(a, b, &hunks);
    const Patched p = applypatch(a, out);
    ASSERT_TRUE(p.ok) << "old:\n" << a << "\nnew:\n" << b << "\ndiff:\n" << out;
    ASSERT_EQ(p.text, b) << out;
    ASSERT_EQ(p.plus + p.minus, editdistance(lines(a), lines(b))) << out;
    ASSERT_EQ(hunks == 0, a == b);
    ASSERT_EQ(static_cast<std::size_t>(hunks),
              static_cast<std::size_t>(std::count(out.begin(), out.end(), '@')) / 4);
  }
}

TEST(UnifiedDiffLargeTest, FewChangesInALargeFileAreQuick) {
  const int n = 200000;
  std::string a = numbered(n);
  std::string b;
  b.reserve(a.size() + 100);
  for (int i = 1; i <= n; ++i) {
    if (i == 7 || i == 100000) continue;
    if (i == 150000) b += "inserted\n";
    b += std::to_string(i) + (i == 50000 ? "x\n" : "\n");
  }
  const auto start = std::chrono::steady_clock::now();
  int hunks = 0;
  const std::string out = diff(a, b, &hunks);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(hunks, 4);
  const Patched p = applypatch(a, out);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.text, b);
  EXPECT_EQ(p.minus, 3);
  EXPECT_EQ(p.plus, 2);
  EXPECT_LT(seconds, 20.0);  // generous for sanitizer builds; quadratic work would take far longer
}

TEST(UnifiedDiffLargeTest, ManyScatteredChangesInALargeFile) {
  // Every 50th line rewritten and every 70th line removed, over lines that
  // repeat so the search cannot just skip lines without a partner.
  const int n = 100000;
  std::string a, b;
  for (int i = 0; i < n; ++i) {
    const std::string line = std::to_string(i % 997) + "\n";
    a += line;
    if (i % 70 == 0) continue;
    b += i % 50 == 0 ? std::to_string((i * 7) % 991) + "\n" : line;
  }
  const Patched p = applypatch(a, diff(a, b));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.text, b);
}

}  // namespace
}  // namespace trosk

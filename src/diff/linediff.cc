#include "diff/linediff.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "diff/editscript.h"

namespace trosk {
namespace {

constexpr std::size_t kContext = 3;
constexpr std::string_view kNoNewline = "\\ No newline at end of file\n";

using Lines = std::vector<std::string_view>;

// Splits after each line end; every line keeps its "\n" (and any "\r"
// before it), so lines differing only in their ending never compare equal.
// A last line without a line end is kept as it is.
Lines splitlines(std::string_view text) {
  Lines lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

// Gives each distinct line one number, shared by both texts, so the search
// compares integers instead of text.
void numberlines(const Lines& oldlines, const Lines& newlines, std::vector<int>* oldids,
                 std::vector<int>* newids) {
  std::unordered_map<std::string_view, int> ids;
  ids.reserve(oldlines.size() + newlines.size());
  auto number = [&ids](const Lines& lines, std::vector<int>* out) {
    out->reserve(lines.size());
    for (std::string_view line : lines) {
      out->push_back(ids.emplace(line, static_cast<int>(ids.size())).first->second);
    }
  };
  number(oldlines, oldids);
  number(newlines, newids);
}

// One run of removed and added lines between common lines.
struct Change {
  std::size_t oldpos, oldcount, newpos, newcount;
};

std::vector<Change> changes(const std::vector<char>& removed, const std::vector<char>& added) {
  std::vector<Change> out;
  std::size_t i = 0, j = 0;
  while (i < removed.size() || j < added.size()) {
    const bool common = i < removed.size() && j < added.size() && !removed[i] && !added[j];
    if (common) {
      ++i, ++j;
      continue;
    }
    Change c{i, 0, j, 0};
    while (i < removed.size() && removed[i]) ++i;
    while (j < added.size() && added[j]) ++j;
    c.oldcount = i - c.oldpos;
    c.newcount = j - c.newpos;
    if (c.oldcount == 0 && c.newcount == 0) break;  // the two sides disagree on the common lines
    out.push_back(c);
  }
  return out;
}

// A range as unified diffs write it: "start,count", just "start" for one
// line, and the line before the hunk as start when the side is empty.
std::string range(std::size_t first, std::size_t count) {
  const std::size_t start = count == 0 ? first : first + 1;
  if (count == 1) return std::to_string(start);
  return std::to_string(start) + "," + std::to_string(count);
}

void putline(char mark, std::string_view line, std::string* out) {
  out->push_back(mark);
  out->append(line);
  if (line.empty() || line.back() != '\n') {
    out->push_back('\n');
    out->append(kNoNewline);
  }
}

void putlines(char mark, const Lines& lines, std::size_t from, std::size_t to, std::string* out) {
  for (std::size_t k = from; k < to; ++k) putline(mark, lines[k], out);
}

// Writes one hunk made of the changes [first, last], with their context.
void puthunk(const Lines& oldlines, const Lines& newlines, const Change* first, const Change* last,
             std::string* out) {
  const std::size_t before = std::min(kContext, first->oldpos);
  const std::size_t oldend = last->oldpos + last->oldcount;
  const std::size_t newend = last->newpos + last->newcount;
  const std::size_t after = std::min(kContext, oldlines.size() - oldend);
  const std::size_t oldfrom = first->oldpos - before, newfrom = first->newpos - before;
  *out += "@@ -" + range(oldfrom, oldend + after - oldfrom) + " +" +
          range(newfrom, newend + after - newfrom) + " @@\n";
  std::size_t at = oldfrom;
  for (const Change* c = first; c <= last; ++c) {
    putlines(' ', oldlines, at, c->oldpos, out);
    putlines('-', oldlines, c->oldpos, c->oldpos + c->oldcount, out);
    putlines('+', newlines, c->newpos, c->newpos + c->newcount, out);
    at = c->oldpos + c->oldcount;
  }
  putlines(' ', oldlines, at, oldend + after, out);
}

}  // namespace

int unifieddiff(std::string_view oldtext, std::string_view newtext, std::string_view oldname,
                std::string_view newname, std::string* out) {
  const Lines oldlines = splitlines(oldtext);
  const Lines newlines = splitlines(newtext);
  std::vector<int> oldids, newids;
  numberlines(oldlines, newlines, &oldids, &newids);
  std::vector<char> removed, added;
  editscript(oldids, newids, editlimits(oldids.size(), newids.size()), &removed, &added);
  const std::vector<Change> list = changes(removed, added);
  if (list.empty()) return 0;

  *out += "--- ";
  out->append(oldname);
  *out += "\n+++ ";
  out->append(newname);
  *out += "\n";
  int hunks = 0;
  std::size_t first = 0;
  while (first < list.size()) {
    // Changes whose contexts meet or overlap share a hunk.
    std::size_t last = first;
    while (last + 1 < list.size() &&
           list[last + 1].oldpos - (list[last].oldpos + list[last].oldcount) <= 2 * kContext) {
      ++last;
    }
    puthunk(oldlines, newlines, &list[first], &list[last], out);
    ++hunks;
    first = last + 1;
  }
  return hunks;
}

}  // namespace trosk

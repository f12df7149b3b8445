// Two texts paired line by line for a side-by-side display: which line of the
// old text stands next to which line of the new one, and where each run of
// changes begins, so that a view can step from one to the next.
#pragma once

#include <string_view>
#include <vector>

namespace trosk {

enum class RowKind : unsigned char {
  kSame,
  kChanged,  // a removed line next to an added one of the same run
  kRemoved,  // only on the left
  kAdded,    // only on the right
};

// One line of the display: 0-based lines of each text, -1 for none.
struct SideRow {
  int left = -1;
  int right = -1;
  RowKind kind = RowKind::kSame;
};

// The lines point into the texts given, without their line end (the "\n" and
// a "\r" before it); the comparison still tells lines apart by their ends.
struct SideBySide {
  std::vector<std::string_view> left;
  std::vector<std::string_view> right;
  std::vector<SideRow> rows;
  std::vector<int> blocks;  // the first row of each run of rows that are not the same
};

// Pairs `oldtext` (left) with `newtext` (right), texts of fewer than 2^31
// lines. Linear in their size apart from the edit script, which its default
// limits keep bounded.
SideBySide sidebyside(std::string_view oldtext, std::string_view newtext);

}  // namespace trosk

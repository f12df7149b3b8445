// Line differences of two texts (Myers' O(ND) algorithm in linear space),
// written as a unified diff for the user to read before answering a question.
#pragma once

#include <string>
#include <string_view>

namespace trosk {

// Appends a unified diff (3 lines of context, "--- old" / "+++ new" header)
// of the two texts to `out`. Returns the number of changed hunks (0 when the
// texts are equal).
int unifieddiff(std::string_view oldtext, std::string_view newtext, std::string_view oldname,
                std::string_view newname, std::string* out);

}  // namespace trosk

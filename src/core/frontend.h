// The user-facing side of messages: questions, alerts and the progress bar.
// The engine talks only to this interface; the console and the window
// implement it, and tests replace it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trosk {

struct Frontend {
  virtual ~Frontend() = default;
  // Shows the question and fills `answer` (capacity `size`, always
  // NUL-terminated) with what the user typed; `buttons` is true for a
  // one-letter question (y, n, A, X, d), false for a line of text.
  virtual void ask(std::string_view question, char* answer, std::size_t size, bool buttons) = 0;
  // Shows an alert text and returns when the user has seen it.
  virtual void alert(std::string_view text) = 0;
  // Progress of a long step in percent (0-100), or -1 to hide the bar.
  // Returns a negative value when the user cancelled.
  virtual int progress(int percent) = 0;
  // Text shown in front of the progress bar; empty clears it.
  virtual void caption(std::string_view text) = 0;
  // The line differences (or the note printed instead) that a 'd' answer
  // has just printed, before the question comes again; and the archives a
  // download brought. Both are already in the output: a front end that shows
  // the output as it is printed (the console) needs nothing more, a window
  // shows the differences apart and offers to unpack the archives.
  virtual void difference(std::string_view) {}
  virtual void archives(const std::vector<std::string>&) {}
};

// The front end in use. Before one is installed, questions get an empty
// answer and alerts go to standard error.
Frontend& frontend();
// Installs `f` (not owned) and returns the previous one; null restores the
// built-in default.
Frontend* setfrontend(Frontend* f);

}  // namespace trosk

// How a run ends early: errormsg shows its alert and then throws the one
// error type, which unwinds to the front end (so every guard on the way
// cleans up). The front end decides what it means: the console exits, a
// window waits for the next command.
#pragma once

#include <exception>
#include <string>

namespace trosk {

class RunError : public std::exception {
 public:
  // `code` is the exit code the run asks for (-1 after an error, 0 after
  // -help); `text` is the report that was shown, empty when none was.
  RunError(int code, std::string text) : code_(code), text_(std::move(text)) {}
  int code() const { return code_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  int code_;
  std::string text_;
};

}  // namespace trosk

// How a run ends early: errormsg shows its alert and then throws the one
// error type, which unwinds to the front end (so every guard on the way
// cleans up); a run stopped at the user's request ends the same way, marked
// as cancelled. The front end decides what it means: the console exits, a
// window waits for the next command.
#pragma once

#include <exception>
#include <string>

namespace trosk {

// The exit code of a run stopped at the user's request (as a shell reports
// a command ended by an interrupt).
inline constexpr int kCancelledCode = 130;

class RunError : public std::exception {
 public:
  // `code` is the exit code the run asks for (-1 after an error, 0 after
  // -help); `text` is the report that was shown, empty when none was;
  // `cause` the failure behind it ("HTTP 401: ..."), empty when none is known.
  RunError(int code, std::string text, std::string cause = {})
      : code_(code), text_(std::move(text)), cause_(std::move(cause)) {}
  // The run stopped because it was asked to; what it did so far is kept.
  static RunError cancelled() { return RunError(kCancelledCode, "Cancelled"); }

  int code() const { return code_; }
  bool wascancelled() const { return code_ == kCancelledCode; }
  const std::string& cause() const { return cause_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  int code_;
  std::string text_;
  std::string cause_;
};

}  // namespace trosk

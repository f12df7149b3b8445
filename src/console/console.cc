#include "console/console.h"

#include <unistd.h>

#include <cstring>


namespace trosk {

namespace {
constexpr const char* kButtonLegend = "[y yes, n no, A yes to all, X no to all, d show differences] ";
constexpr int kBarWidth = 40;
}  // namespace

ConsoleFrontend::ConsoleFrontend(FILE* in, FILE* err) : in_(in), err_(err) {}

void ConsoleFrontend::ask(std::string_view question, char* answer, std::size_t size,
                          const char* letters) {
  if (size == 0) return;
  answer[0] = '\0';
  if (shown_ >= 0) std::fputc('\n', err_);
  shown_ = -1;
  std::fprintf(err_, "%.*s", static_cast<int>(question.size()), question.data());
  if (letters) std::fprintf(err_, "%s", kButtonLegend);
  std::fflush(err_);
  if (!std::fgets(answer, static_cast<int>(size), in_)) {
    answer[0] = '\0';
    std::fputc('\n', err_);
    return;
  }
  // Answers from a file or a pipe are not echoed by a terminal: show them, so
  // that a transcript reads as the dialogue it was.
  if (!isatty(fileno(in_))) {
    std::fprintf(err_, "%s%s", answer, std::strchr(answer, '\n') ? "" : "\n");
  }
  // A line longer than the buffer: the rest is not an answer to the next question.
  if (std::strchr(answer, '\n') == nullptr) {
    int c;
    while ((c = std::fgetc(in_)) != EOF && c != '\n') {
    }
  }
}

void ConsoleFrontend::alert(const Alert& alert) {
  if (shown_ >= 0) std::fputc('\n', err_);
  shown_ = -1;
  std::fprintf(err_, "%.*s\n", static_cast<int>(alert.text.size()), alert.text.data());
  std::fflush(err_);
}

bool ConsoleFrontend::showsbar() const { return isatty(fileno(err_)); }

void ConsoleFrontend::progress(const Progress& p) {
  if (!showsbar() || (p.percent == shown_ && caption_ == drawn_)) return;
  drawn_ = caption_;
  int percent = p.percent > 100 ? 100 : p.percent;
  int filled = percent * kBarWidth / 100;
  std::fprintf(err_, "\r%.60s[%.*s%*s] %3d%%", caption_.c_str(), filled,
               "########################################", kBarWidth - filled, "", percent);
  shown_ = percent;
  std::fflush(err_);
}

void ConsoleFrontend::progressdone() {
  if (!showsbar()) return;
  if (shown_ >= 0) std::fprintf(err_, "\r%*s\r", kBarWidth + 80, "");
  shown_ = -1;
  std::fflush(err_);
}

void ConsoleFrontend::caption(std::string_view text) { caption_.assign(text); }

}  // namespace trosk

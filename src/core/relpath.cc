#include "core/relpath.h"

namespace trosk {
namespace {

constexpr int kEmptyName = -1;
constexpr int kAbsolute = -2;
constexpr int kDriveLetter = -3;
constexpr int kParentStep = -4;
constexpr int kControlByte = -5;

bool isletter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

int checkrelpath(std::string_view name) {
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) return kControlByte;
  }
  if (name.empty()) return kEmptyName;
  if (isslash(name[0])) return kAbsolute;
  if (name.size() >= 2 && isletter(name[0]) && name[1] == ':') return kDriveLetter;
  int count = 0;
  bool up = false;
  components(name, [&](std::string_view part) {
    ++count;
    up = part == "..";
    return !up;
  });
  if (up) return kParentStep;
  return count == 0 ? kEmptyName : 0;
}

const char* unsafereason(int code) {
  switch (code) {
    case kEmptyName:
      return "empty name";
    case kAbsolute:
      return "absolute path";
    case kDriveLetter:
      return "drive letter";
    case kParentStep:
      return "parent directory step";
    case kControlByte:
      return "control character";
    default:
      return "unsafe name";
  }
}

}  // namespace trosk

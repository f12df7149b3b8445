#include "sync/askupdate.h"

#include <cstdio>

#include "core/output.h"
#include "core/runcontext.h"
#include "repo/filestats.h"

namespace trosk {

int remember(RunContext& rc, int answer) {
  if (answer == kAnswerAllYes) rc.promptLevel |= kPromptAllYes;
  if (answer == kAnswerAllNo) rc.promptLevel |= kPromptAllNo;
  return answer;
}

std::string updatequestion(const char* name, bool upload) {
  return std::string("Update ") + (upload ? "remote" : "local") + " file <" + name +
         "> (y/n/AllYes/diff)? ";
}

int askupdate(RunContext& rc, const UpdateCase& c, bool* diff) {
  if (rc.promptLevel & kPromptAllNo) return 0;
  if ((rc.promptLevel & kPromptAllYes) && !c.conflict) return 1;
  // Older: the copy that would replace the other one is the older of the
  // two; a copy changed on both sides counts as older, whatever the stamps.
  bool older = c.conflict || (c.hostbits & (c.upload ? kOlder : kNewer)) != 0;
  bool asking = (rc.promptLevel & 7) != 0;
  int answer = 1;
  if (c.exists && asking && !(rc.promptLevel & kPromptAllYes)) {
    answer = remember(rc, askuser(rc, updatequestion(c.name, c.upload).c_str(), nullptr, "ynYNAXd"));
  }
  if (answer == kAnswerDiff) {
    *diff = true;
    return 1;
  }
  char question[512];
  if (older && answeredyes(answer) && asking) {
    std::snprintf(question, sizeof question,
                  "Confirm overwrite of %s with older version  (y/n AllYes)? ", c.name);
    answer = remember(rc, askuser(rc, question, nullptr, "ynYNAX"));
  }
  if (answeredyes(answer) && c.hostsize > kLargeFile) {
    std::snprintf(question, sizeof question, "Confirm update of large file %s (%lld Mb) (y/n)? ",
                  c.name, static_cast<long long>(c.hostsize / 1000000));
    answer = remember(rc, askuser(rc, question, nullptr, "ynYNAX"));
  }
  return answeredyes(answer) ? 1 : 0;
}

}  // namespace trosk

#include "sync/statuslist.h"

#include "config/options.h"
#include "core/output.h"

namespace trosk {

const char* const kStatusLabels[] = {"Modified", "Missing", "Unchanged", "Old", "Newer", nullptr};

int StatusList::add(const char* name, const FileStats& R, const FileStats& L, bool exists,
                    int hostbits, bool all) {
  bool content = (hostbits & kContentDiffers) != 0;
  if (!content && exists && !all) return 0;
  if (!headed) {
    headed = true;
    printmsg(rc, "%10s  %-20s Remote: Size&Date (%s)    Local: Size&Date (if different)\n",
             "  Status", "FileName", runSettings.dateOrder == 1 ? "D/M/Y" : "M/D/Y");
  }
  const char* hostdate = datetext(R.date, R.time);
  if (content) {
    int label = (hostbits & kNewer)   ? kLabelNewer
                : (hostbits & kOlder) ? kLabelOld
                                      : kLabelModified;
    printmsg(rc, "%10s: %-20s %7lld %s > %7lld %s\n", kStatusLabels[label], name,
             static_cast<long long>(R.size), hostdate, static_cast<long long>(L.size),
             datetext(L.date, L.time));
  } else {
    int label = exists ? kLabelUnchanged : kLabelMissing;
    printmsg(rc, "%10s: %-20s %7lld %s\n", kStatusLabels[label], name,
             static_cast<long long>(R.size), hostdate);
  }
  return 1;
}

int printtotals(const char* project, int toupdate, int maxfiles) {
  if (toupdate == 0) {
    printmsg(rc, " All files up-to-date (%s).\n", project);
  } else if (maxfiles > 0 && toupdate > maxfiles) {
    printmsg(rc, " Lots of files to update (%d), only %d will be transferred at a time\n",
             toupdate, maxfiles);
  } else {
    printmsg(rc, " Total of %d files to update.\n", toupdate);
  }
  return 0;
}

}  // namespace trosk

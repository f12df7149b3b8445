#include "sync/statuslist.h"

#include "core/output.h"
#include "core/runcontext.h"

namespace trosk {

const char* const kStatusLabels[] = {"Modified", "Missing", "Unchanged", "Old", "Newer", nullptr};

int statuslabel(bool exists, int hostbits) {
  if (hostbits & kContentDiffers) {
    return (hostbits & kNewer) ? kLabelNewer : (hostbits & kOlder) ? kLabelOld : kLabelModified;
  }
  return exists ? kLabelUnchanged : kLabelMissing;
}

int StatusList::add(RunContext& rc, const char* name, const FileStats& R, const FileStats& L,
                    bool exists, int hostbits, bool all) {
  bool content = (hostbits & kContentDiffers) != 0;
  if (!content && exists && !all) return 0;
  if (!headed) {
    headed = true;
    printmsg(rc, "%10s  %-20s Remote: Size&Date (%s)    Local: Size&Date (if different)\n",
             "  Status", "FileName", rc.dateOrder == 1 ? "D/M/Y" : "M/D/Y");
  }
  const char* label = kStatusLabels[statuslabel(exists, hostbits)];
  DateText hostdate = datetext(rc, R.date, R.time);
  if (content) {
    printmsg(rc, "%10s: %-20s %7lld %s > %7lld %s\n", label, name, static_cast<long long>(R.size),
             hostdate.c_str(), static_cast<long long>(L.size), datetext(rc, L.date, L.time).c_str());
  } else {
    printmsg(rc, "%10s: %-20s %7lld %s\n", label, name, static_cast<long long>(R.size),
             hostdate.c_str());
  }
  return 1;
}

int printtotals(RunContext& rc, const char* project, int toupdate, int maxfiles) {
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

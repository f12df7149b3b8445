#include "config/banner.h"

#include "core/output.h"

namespace trosk {

int showbanner(RunContext& rc) {
  printmsg(rc, "Trosk -- Version %.2f\n", static_cast<double>(programVersion));
  return 0;
}

void showhelp(RunContext& rc) {
  printmsg(rc, "%s",
R"(
Trosk keeps the files of a project in step with a host that stores every
uploaded version and never overwrites one. The host is a directory (a local
or network path) or a web site read with HTTP or HTTPS GET.

Usage: trosk [project] [options]

Without a project every project of the list file (trosk_project.xml) is run.
Without a command the run is a status run. Options may be abbreviated as long
as they stay unambiguous; most have a one-letter form (shown in brackets).

Commands
  -status [N]        (-s) list files that differ from the host version;
                     N: 1 list all files, 2 report only, 4 hidden local files
  -download [N]      bring local files up to the host version; N=0 skips the
                     first verification of the local log
  -upload [N]        (-u) upload changed files as a new subversion
  -add FILES...      (-a) add files to the host version (needs -source)
  -init              (-i) create a new project version on the host
  -current [S B A]   (-c) make version S stable, B beta, A alpha
  -verify            refresh the local log from the files on disk
  -show              (-S) show the versions on the host
  -log               (-L) show the project's activity log
  -dump              (-X) fetch the host's project log into a local file
  -help              (-h, -?) this text

Host and project
  -host NAME         (-H) host: a directory, name[:port],
                     http://name[:port][/path] or https://name[:port][/path]
  -localhost DIR     direct path of the host, used for uploads
  -port N            (-P) TCP port of a web host (default 80, https 443)
  -user NAME[:PW]    (-U) user name checked against the host's user list
  -access TEXT       Basic credential (user:password in Base64); 0 for none;
                     a plain http:// host gets it unencrypted (with a warning)
  -cacert FILE       trust the certificate authority in FILE (PEM) for https
                     hosts, besides the system's trusted certificates
  -sign KEYFILE      sign what this run publishes with the Ed25519 key in
                     KEYFILE (PEM); the project list keeps it
  -trust PRINT       trust the host key with this fingerprint, unasked
  -remotedir DIR     (-R) host directory that holds all projects (trosk)
  -platform NAME     platform section of the host catalogue
  -suffix TEXT       suffix added to file names stored on the host
  -source [0]        mark the project as source (0 unmarks it)
  -version V[/S]     (-v) work on version V (subversion S)
  -subversion S      work on subversion S
  -stable, -beta (-B), -alpha (-A)   choose the release to work on

Transfer
  -decode            (-d) store and fetch files as they are, no VTP armour
  -encode            (-e) store added files in VTP armour, text files too
  -zip               work on archive entries only
  -backup [N]        back up overwritten files into Trosk_bkup (0: off)
  -prompt N          (-p) 0 asks no questions (large files excepted)
  -maxfiles N        transfer at most N files in one run (default 400;
                     0: no limit)
  -pipeline N        keep up to N requests in flight to a web host that keeps
                     its connections open (default 8; 1: one at a time)
  -comment TEXT      (-C) comment for the version log
  -webhdr            (-W) keep the HTTP header of a dump

Output
  -verbose [N]       (-V) list all files; with N, diagnostics up to level N
  -mdy, -dmy         dates as month/day/year or day/month/year
  -nobar             no progress bar
  -tempdir DIR       accepted for compatibility; has no effect (temporary
                     files are made beside the file they replace)
  -directory DIR     (-D) accepted for compatibility; has no effect

Everything printed also goes to trosk_tmp.txt in the working directory.
Exit codes: 0 done, 255 an error ended the run.

Examples
  trosk demo -source -host /srv/hosts -add a.c b.c   add two files to a host
  trosk demo -host /srv/hosts -status                status of project demo
  trosk demo -host http://example:8080/hosts -download
  trosk demo -upload -comment "fix parser"           upload changed files
  trosk demo -show                                   versions on the host
  trosk                                              status of every project
)");
}

}  // namespace trosk

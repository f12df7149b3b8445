#!/usr/bin/env bash
# Trosk against the tools users compare it with, on the same files in the
# same run: each pair is run several times and one line per pair gives both
# medians and the median of the ratios (Trosk time / peer time).
#
#   bench/peers.sh [--size 10k|100k|all] [--runs N] [--bin TROSK] [--quick]
#                  [--only add|download|http|status|upload|verify]
#
# Trees are 100 folders of 100 files of 1 to 4 KiB random bytes (10k), or
# 1000 such folders (100k); every folder holds the same file names. --quick
# runs each pair once on a few files and only checks that the script works.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$here/../build/src/trosk
sizes=(10k 100k)
runs=5
quick=0
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --size) [ "$2" = all ] && sizes=(10k 100k) || sizes=("$2"); shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --quick) quick=1; runs=1; sizes=(quick); shift ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: peers.sh [--size 10k|100k|all] [--runs N] [--bin TROSK] [--quick] [--only WORK]" >&2; exit 2 ;;
  esac
done
bin=$(realpath "$bin")
base=$(mktemp -d "${TMPDIR:-/tmp}/trosk-peers-XXXXXX")
chmod 755 "$base"  # the web server's workers read the host below it
nginx_prefix=""
cleanup() {
  [ -n "$nginx_prefix" ] && nginx -p "$nginx_prefix" -c "$nginx_prefix/nginx.conf" -s stop 2>/dev/null
  cd /
  rm -rf "$base"
}
trap cleanup EXIT
ulimit -s unlimited 2>/dev/null || ulimit -s 65536  # room for 100,000 names after -add

now() { date +%s%N; }
# timed VAR COMMAND...: runs the command, quiet, and stores its seconds in VAR.
timed() {
  local var=$1 start end
  shift
  start=$(now)
  "$@" </dev/null >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(now)
  printf -v "$var" '%s' "$(((end - start) / 1000))e-6"
}
trosk() { "$bin" "$@" -prompt 0 -nobar; }
# want WORK: whether this run measures WORK (--only names one).
want() { [ -z "$only" ] || [ "$only" = "$1" ]; }

# syscalls LABEL FILES COMMAND...: the system calls of one run of the
# command (its child processes too), per file, as strace -c counts them.
syscalls() {
  local label=$1 files=$2 summary=$base/strace.sum total
  shift 2
  command -v strace >/dev/null || return 0
  strace -f -qq -c -o "$summary" "$@" </dev/null >/dev/null 2>&1 || true
  total=$(awk '$NF == "total" { print $4 }' "$summary")
  python3 -c "print('%-44s %8.1f syscalls per file' % ('$label', ${total:-0} / $files))"
}

# maketree DIR FOLDERS FILES
maketree() {
  python3 - "$@" <<'PY'
import os, random, sys
root, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(1)
for d in range(folders):
    path = os.path.join(root, "d%03d" % d)
    os.makedirs(path)
    for f in range(files):
        with open(os.path.join(path, "f%02d.dat" % f), "wb") as out:
            out.write(rnd.randbytes(rnd.randint(1024, 4096)))
PY
}

# Results of one pair: "label|peer|trosk time|peer time|goal" per run (times
# in seconds unless the label names a unit), summed up by report.
results=()
record() { results+=("$1|$2|$3|$4|$5"); }
report() {
  [ ${#results[@]} -gt 0 ] || return 0
  printf '%s\n' "${results[@]}" | python3 -c '
import statistics, sys
rows = {}
for line in sys.stdin:
    label, peer, ours, theirs, goal = line.rstrip("\n").split("|")
    rows.setdefault((label, peer, goal), []).append((float(ours), float(theirs)))
for (label, peer, goal), runs in rows.items():
    ours = statistics.median(r[0] for r in runs)
    theirs = statistics.median(r[1] for r in runs)
    ratio = statistics.median(r[0] / r[1] for r in runs)
    unit = "" if "(" in label else "s"
    print("%-44s %8.3f %-1s  %-30s %8.3f %-1s  ratio %5.2f (goal <= %s, %d runs)"
          % (label, ours, unit, peer, theirs, unit, ratio, goal, len(runs)))
'
  results=()
}

start_nginx() {
  local root=$1 port
  nginx_prefix=$base/nginx
  mkdir -p "$nginx_prefix/logs" "$nginx_prefix/tmp"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  cat >"$nginx_prefix/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $nginx_prefix/nginx.pid;
error_log $nginx_prefix/logs/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $nginx_prefix/tmp;
  proxy_temp_path $nginx_prefix/tmp;
  fastcgi_temp_path $nginx_prefix/tmp;
  uwsgi_temp_path $nginx_prefix/tmp;
  scgi_temp_path $nginx_prefix/tmp;
  default_type application/octet-stream;
  keepalive_requests 1000000;
  server { listen 127.0.0.1:$port; root $root; }
}
CONF
  nginx -p "$nginx_prefix" -c "$nginx_prefix/nginx.conf"
  nginx_port=$port
}

bench_size() {
  local size=$1 folders files
  case "$size" in
    10k) folders=100; files=100 ;;
    100k) folders=1000; files=100 ;;
    quick) folders=3; files=4 ;;
  esac
  local n=$((folders * files)) dir=$base/$size
  local host=$dir/host tree=$dir/tree work=$dir/work
  mkdir -p "$dir"
  echo "== $n files ($folders folders of $files), $runs runs"
  maketree "$tree" "$folders" "$files"
  cd "$tree" && names=(d*/*) && cd "$dir"

  # Add: every file of the tree to a new directory host, against cp -r and
  # sync (an add is durable when it ends).
  local t p i addruns=$runs
  want add || addruns=1  # the other work needs the host an add makes
  for ((i = 0; i < addruns; i++)); do
    rm -rf "$host" "$work" "$dir/cp"
    mkdir -p "$host/trosk"
    cp -r "$tree" "$work"
    sync
    cd "$work"
    timed t trosk P -source -host "$host" -comment bench -add "${names[@]}"
    cd "$dir"
    sync
    timed p sh -c "cp -r '$tree' '$dir/cp' && sync"
    record "add $n files to a directory host" "cp -r + sync" "$t" "$p" 1.0
  done
  if want add; then
    rm -rf "$dir/cp" "$host" "$work"
    mkdir -p "$host/trosk"
    cp -r "$tree" "$work"
    cd "$work"
    syscalls "  add" "$n" "$bin" P -source -host "$host" -comment bench -prompt 0 -nobar -add "${names[@]}"
    cd "$dir"
    report
  else
    results=()
  fi

  # Download of every file in one run, against rsync -a and cp -r of the
  # version directory.
  local version=$host/trosk/P/P_1 download="echo y | '$bin' P -host '$host' -download -maxfiles 0 -prompt 0 -nobar"
  local dlruns=$runs
  want download || dlruns=0
  for ((i = 0; i < dlruns; i++)); do
    rm -rf "$dir/dl" "$dir/cp" "$dir/rs"
    mkdir "$dir/dl" && cd "$dir/dl"
    sync
    timed t sh -c "$download"
    cd "$dir"
    sync
    timed p cp -r "$version" "$dir/cp"
    record "download $n files, directory host" "cp -r" "$t" "$p" 2.0
    if command -v rsync >/dev/null; then
      sync
      timed p rsync -a "$version/" "$dir/rs/"
      record "download $n files, directory host" "rsync -a" "$t" "$p" 1.0
    fi
  done
  if want download; then
    rm -rf "$dir/dl" && mkdir "$dir/dl" && cd "$dir/dl"
    syscalls "  download" "$n" sh -c "$download"
    cd "$dir"
    report
  fi

  # The same over HTTP from nginx, per file, against wget -i of the same files.
  if ! want http; then
    :
  elif command -v nginx >/dev/null && command -v wget >/dev/null; then
    start_nginx "$host"
    (cd "$version" && ls) | grep -v '^trosk_' |
      sed "s|^|http://127.0.0.1:$nginx_port/trosk/P/P_1/|" >"$dir/urls"
    sed 's|^|url = |' "$dir/urls" >"$dir/urls.curl"
    local web="echo y | '$bin' P -host 127.0.0.1 -port $nginx_port -download -maxfiles 0 -prompt 0 -nobar"
    for ((i = 0; i < runs; i++)); do
      rm -rf "$dir/dl" "$dir/wget" "$dir/curl"
      mkdir "$dir/dl" && cd "$dir/dl"
      timed t sh -c "$web"
      cd "$dir"
      timed p wget -q -P "$dir/wget" -i "$dir/urls"
      record "download over HTTP, per file (ms)" "wget -i, per file (ms)" \
        "$(python3 -c "print($t * 1000 / $n)")" "$(python3 -c "print($p * 1000 / $n)")" 0.4
      if command -v curl >/dev/null; then
        mkdir "$dir/curl"
        timed p curl -s -Z --parallel-max 8 --output-dir "$dir/curl" --remote-name-all -K "$dir/urls.curl"
        record "download over HTTP, per file (ms)" "curl -Z, 8 at a time (ms)" \
          "$(python3 -c "print($t * 1000 / $n)")" "$(python3 -c "print($p * 1000 / $n)")" 1.0
      fi
    done
    rm -rf "$dir/dl" && mkdir "$dir/dl" && cd "$dir/dl"
    syscalls "  download over HTTP" "$n" sh -c "$web"
    cd "$dir"
    nginx -p "$nginx_prefix" -c "$nginx_prefix/nginx.conf" -s stop 2>/dev/null
    nginx_prefix=""
    report
  else
    echo "download over HTTP: skipped (no nginx or wget)"
  fi
  rm -rf "$dir/dl" "$dir/cp" "$dir/wget"

  # Status of the unchanged project against git status of the same tree
  # with a fresh index; then its peak memory against the two logs it reads.
  if ! want status && ! want upload; then
    cd "$base"
    rm -rf "$dir"
    return
  fi
  cd "$work"
  printf 'trosk*\n.trosk*\n.gitignore\n' >.gitignore
  git init -q . && git add -A && git -c user.name=b -c user.email=b@b commit -qm tree
  git status --porcelain >/dev/null
  local statusruns=$runs
  want status || statusruns=0
  for ((i = 0; i < statusruns; i++)); do
    timed t trosk P -host "$host" -status
    timed p git status --porcelain
    record "status of $n unchanged files" "git status --porcelain" "$t" "$p" 1.0
  done
  want status && syscalls "  status" "$n" "$bin" P -host "$host" -status -prompt 0 -nobar
  report
  local logs rss
  logs=$(($(stat -c %s trosk_P.xml) + $(stat -c %s "$version/trosk_P.xml")))
  for ((i = 0; i < statusruns; i++)); do
    rss=$( { /usr/bin/time -f '%M' "$bin" P -host "$host" -status -prompt 0 -nobar </dev/null >/dev/null; } 2>&1 | tail -1)
    record "memory: status peak RSS (MB)" "bytes of the two logs (MB)" \
      "$(python3 -c "print($rss / 1024)")" "$(python3 -c "print($logs / 1048576)")" 2.0
  done
  report

  # Upload of 400 changed files (fewer in the quick mode) against git
  # recording the same change.
  local changed=$((n < 400 ? n : 400)) k
  local commit="git add -A && git -c user.name=b -c user.email=b@b commit -qm change"
  local uploadruns=$runs
  want upload || uploadruns=-1
  for ((i = 0; i <= uploadruns; i++)); do
    for ((k = 0; k < changed; k++)); do
      printf 'changed %d %d\n' "$i" "$k" >"${names[k * n / changed]}"
    done
    sleep 1  # past the second of the stamps, so that the next status stays quick
    if [ "$i" = "$runs" ]; then
      syscalls "  upload" "$changed" "$bin" P -host "$host" -source -upload -comment bench -prompt 0 -nobar
      break
    fi
    timed t trosk P -host "$host" -source -upload -comment bench
    timed p sh -c "$commit"
    record "upload of $changed changed files of $n" "git add -A && git commit" "$t" "$p" 1.0
  done
  want upload && report
  results=()
  cd "$base"
  rm -rf "$dir"
}

# The checksum pass of a verify that reads every byte of one cached file
# (its entry records a SHA-256), against sha256sum of the file.
bench_checksum() {
  local mib=$1 dir=$base/sum t p i
  mkdir -p "$dir/host/trosk" "$dir/work"
  cd "$dir/work"
  head -c "$((mib << 20))" /dev/urandom >big.dat
  trosk Q -source -host "$dir/host" -comment bench -add big.dat >/dev/null 2>&1 </dev/null
  cat big.dat >/dev/null
  for ((i = 0; i < runs; i++)); do
    touch -d "@$((1000000000 + i))" big.dat  # a new stamp: the verify reads the whole file
    timed t trosk Q -host "$dir/host" -verify
    timed p sha256sum big.dat
    record "verify of a $mib MiB file (every byte read)" "sha256sum" "$t" "$p" 1.0
  done
  want upload && report
  results=()
  cd "$base"
  rm -rf "$dir"
}

echo "trosk: $bin"
for size in "${sizes[@]}"; do bench_size "$size"; done
if ! want verify; then
  :
elif [ "$quick" = 1 ]; then bench_checksum 4; else bench_checksum 1024; fi

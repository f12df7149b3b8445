#!/usr/bin/env bash
# A demonstration sync: builds Trosk, then in a temporary directory makes a
# host, adds a small project, changes it, uploads a new subversion and
# downloads it elsewhere, from the directory and over HTTP from nginx.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh" normal >/dev/null
trosk=$top/build/src/trosk
nginx=$(command -v nginx || echo /usr/sbin/nginx)

demo=$(mktemp -d /tmp/trosk-demo-XXXXXX)
chmod 755 "$demo"
nginx_prefix=""
cleanup() {
  [ -n "$nginx_prefix" ] && "$nginx" -p "$nginx_prefix" -c "$nginx_prefix/nginx.conf" -s stop 2>/dev/null
  rm -rf "$demo"
}
trap cleanup EXIT

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
# Shows the command, then runs it with the given answers on standard input.
say() {
  local answers=$1; shift
  printf '$ trosk %s\n' "$*"
  printf '%b' "$answers" | "$trosk" "$@" 2>&1 | sed 's/^/  /'
}

step "A host: a directory that holds the directory of projects"
mkdir -p "$demo/host/trosk"
echo "host: $demo/host"

step "A project with three files, added to the host as source"
mkdir -p "$demo/alice/src" && cd "$demo/alice"
printf 'Trosk demonstration project.\n' >readme.txt
printf 'int main(void) { return 0; }\n' >src/main.c
head -c 3000 /dev/urandom >logo.bin
say 'y\n' demo -source -host "$demo/host" -add readme.txt src/main.c logo.bin -comment "first version"
echo "host now holds:"; (cd "$demo/host" && find trosk -type f | sort | sed 's/^/  /')

step "Change one file, remove another, then look at the status"
printf 'int main(void) { return 42; }\n' >src/main.c
rm readme.txt
say '' demo -status

step "Upload the change as a new subversion (A: yes to all)"
printf 'Trosk demonstration project, second edition.\n' >readme.txt
say 'A\n' demo -upload -comment "second edition"

step "Download into a second working directory from the directory host"
mkdir -p "$demo/bob" && cd "$demo/bob"
say 'y\ny\n' demo -host "$demo/host" -download
cmp "$demo/alice/src/main.c" src/main.c && cmp "$demo/alice/logo.bin" logo.bin \
  && echo "  files are byte-identical"

step "Download over HTTP from nginx on 127.0.0.1"
nginx_prefix=$demo/nginx
mkdir -p "$nginx_prefix/logs"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$nginx_prefix/nginx.conf" <<CONF
pid $nginx_prefix/nginx.pid;
error_log $nginx_prefix/logs/error.log;
events {}
http {
  access_log off;
  client_body_temp_path $nginx_prefix;
  server { listen 127.0.0.1:$port; root $demo/host; }
}
CONF
"$nginx" -p "$nginx_prefix" -c "$nginx_prefix/nginx.conf"
mkdir -p "$demo/carol" && cd "$demo/carol"
say 'y\nn\n' demo -host "127.0.0.1:$port" -access 0 -download
cmp "$demo/alice/logo.bin" logo.bin && echo "  logo.bin arrived intact over HTTP"

step "The versions on the host and the activity log"
cd "$demo/bob"
say '' demo -show
say '' demo -log

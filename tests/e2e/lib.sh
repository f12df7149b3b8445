# Shared set-up of the end-to-end scenarios: each scenario sources this file,
# works in its own scratch directory and runs the real binary.
set -u
TROSK_BIN=${TROSK_BIN:?TROSK_BIN names the trosk binary}
TROSK_BIN=$(realpath "$TROSK_BIN")  # the scenarios change directory
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/trosk-e2e-XXXXXX")
chmod 755 "$SCRATCH"  # the web server's workers read hosts below it
trap 'e2e_cleanup' EXIT
cd "$SCRATCH"
failures=0
passes=0
current_test=""

e2e_cleanup() {
  [ -n "${NGINX_PREFIX:-}" ] && stop_nginx
  cd /
  rm -rf "$SCRATCH"
}

# test_case NAME: starts a case; its checks report under that name.
test_case() {
  current_test=$1
}

pass() { passes=$((passes + 1)); }
fail() {
  failures=$((failures + 1))
  echo "FAIL [$current_test]: $*" >&2
}

# run [ANSWERS] -- ARGS...: runs trosk with the answers on standard input;
# sets $out (standard output), $err (standard error) and $rc.
run() {
  local answers=""
  if [ "$1" != "--" ]; then answers=$1; shift; fi
  shift
  printf '%b' "$answers" >"$SCRATCH/.stdin"
  "$TROSK_BIN" "$@" <"$SCRATCH/.stdin" >"$SCRATCH/.stdout" 2>"$SCRATCH/.stderr"
  rc=$?
  out=$(cat "$SCRATCH/.stdout")
  err=$(cat "$SCRATCH/.stderr")
  # A sanitizer report fails the case whatever else it checks.
  if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' <<<"$err"; then
    fail "sanitizer report from: trosk $*"$'\n'"$err"
  fi
}

expect_rc() {
  if [ "$rc" = "$1" ]; then pass; else fail "exit code $rc, expected $1 (stderr: $err)"; fi
}
expect_out() {
  if grep -qF -- "$1" <<<"$out"; then pass; else fail "stdout lacks: $1"$'\n'"$out"; fi
}
expect_no_out() {
  if grep -qF -- "$1" <<<"$out"; then fail "stdout has: $1"; else pass; fi
}
expect_err() {
  if grep -qF -- "$1" <<<"$err"; then pass; else fail "stderr lacks: $1"$'\n'"$err"; fi
}
expect_no_err() {
  if grep -qF -- "$1" <<<"$err"; then fail "stderr has: $1"; else pass; fi
}
# expect_line TEXT: standard output holds TEXT as one whole line.
expect_line() {
  if grep -qxF -- "$1" <<<"$out"; then pass; else fail "stdout lacks the line: $1"$'\n'"$out"; fi
}
# expect_lines N TEXT: standard output holds exactly N lines containing TEXT.
expect_lines() {
  local n
  n=$(grep -cF -- "$2" <<<"$out")
  if [ "$n" = "$1" ]; then pass; else fail "stdout has $n lines with: $2 (expected $1)"$'\n'"$out"; fi
}
# expect_content FILE TEXT: FILE holds exactly TEXT (printf %b style).
expect_content() {
  if cmp -s "$1" <(printf '%b' "$2"); then pass; else fail "content of $1 differs: $(head -c 300 "$1" 2>&1)"; fi
}
expect_no_grep() {
  if grep -qF -- "$1" "$2" 2>/dev/null; then fail "$2 has: $1"; else pass; fi
}
# expect_tmp_is_out: the output file of the run holds what it printed (the
# archive search line goes to standard output alone).
expect_tmp_is_out() {
  local tmp shown
  tmp=$(cat trosk_tmp.txt 2>/dev/null)
  shown=$(grep -v '^Look for ZIP archive files: ' <<<"$out")
  if [ "$tmp" = "$shown" ]; then pass; else fail "trosk_tmp.txt differs from stdout:"$'\n'"$(diff <(echo "$shown") <(echo "$tmp"))"; fi
}
# expect_tmp_line TEXT: the output file of the run holds TEXT as one whole line.
expect_tmp_line() {
  if grep -qxF -- "$1" trosk_tmp.txt 2>/dev/null; then pass; else fail "trosk_tmp.txt lacks the line: $1"; fi
}
expect_file() {
  if [ -e "$1" ]; then pass; else fail "missing file: $1"; fi
}
expect_no_file() {
  if [ -e "$1" ]; then fail "unexpected file: $1"; else pass; fi
}
expect_same() {
  if cmp -s "$1" "$2"; then pass; else fail "files differ: $1 $2"; fi
}
expect_grep() {
  if grep -qF -- "$1" "$2" 2>/dev/null; then pass; else fail "$2 lacks: $1"; fi
}

# b64 TEXT: the Base64 form of TEXT, as -access takes it.
b64() { printf '%s' "$1" | base64 -w0; }

# workdir NAME: a fresh working directory below the scratch directory, made current.
workdir() {
  rm -rf "${SCRATCH:?}/$1"
  mkdir -p "$SCRATCH/$1"
  cd "$SCRATCH/$1" || exit 1
}

# make_host NAME: an empty host (with its trosk directory); prints its path.
make_host() {
  mkdir -p "$SCRATCH/$1/trosk"
  printf '%s' "$SCRATCH/$1"
}

# stamp FILE 'YYYY-MM-DD HH:MM:SS': sets the modification time, so that
# newer and older are decided by the test, not by the clock.
stamp() { touch -d "$2" "$1"; }

# start_nginx ROOT [USER PASSWORD [CERT KEY]]: serves ROOT on a free
# loopback port (in $NGINX_PORT), with Basic authorisation when a user is
# given, over TLS with the certificate and key when they are given; a server
# started before is stopped. $NGINX_KEEPALIVE, when set, is how many requests
# the server answers on one connection before it closes it.
start_nginx() {
  local root=$1 user=${2:-} password=${3:-} cert=${4:-} key=${5:-}
  local nginx_bin
  nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
  # One server at a time; each in its own prefix, so that a server still
  # shutting down never removes its successor's pid file.
  [ -n "${NGINX_PREFIX:-}" ] && stop_nginx
  NGINX_COUNT=$((${NGINX_COUNT:-0} + 1))
  NGINX_PREFIX="$SCRATCH/.nginx$NGINX_COUNT"
  mkdir -p "$NGINX_PREFIX/logs" "$NGINX_PREFIX/tmp"
  local auth=""
  if [ -n "$user" ]; then
    printf '%s:%s\n' "$user" "$(openssl passwd -apr1 "$password")" >"$NGINX_PREFIX/htpasswd"
    auth="auth_basic \"trosk\"; auth_basic_user_file $NGINX_PREFIX/htpasswd;"
  fi
  local ssl="" tls=""
  if [ -n "$cert" ]; then
    ssl=" ssl"
    tls="ssl_certificate $cert; ssl_certificate_key $key;"
  fi
  local attempt
  for attempt in 1 2 3 4 5; do
    NGINX_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
    cat >"$NGINX_PREFIX/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $NGINX_PREFIX/nginx.pid;
error_log $NGINX_PREFIX/logs/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $NGINX_PREFIX/tmp;
  proxy_temp_path $NGINX_PREFIX/tmp;
  fastcgi_temp_path $NGINX_PREFIX/tmp;
  uwsgi_temp_path $NGINX_PREFIX/tmp;
  scgi_temp_path $NGINX_PREFIX/tmp;
  default_type application/octet-stream;
  keepalive_requests ${NGINX_KEEPALIVE:-100000};
  server {
    listen 127.0.0.1:$NGINX_PORT$ssl;
    root $root;
    $auth
    $tls
  }
}
CONF
    if "$nginx_bin" -p "$NGINX_PREFIX" -c "$NGINX_PREFIX/nginx.conf" 2>/dev/null; then
      return 0
    fi
  done
  echo "nginx did not start" >&2
  return 1
}

stop_nginx() {
  local nginx_bin
  nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
  "$nginx_bin" -p "$NGINX_PREFIX" -c "$NGINX_PREFIX/nginx.conf" -s stop 2>/dev/null
  NGINX_PREFIX=""
}

# finish: prints the tally and sets the exit status of the scenario.
finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" = 0 ]
}

#!/usr/bin/env bash
# A web host that sends a reply's header and then one byte every few
# seconds: with the real figures of the progress rule (1 KiB in 30 s) the
# download ends within about 30 seconds, naming the stall, with the old file
# intact and no temporary file left.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
workdir src
printf 'first version\n' >big.txt
stamp big.txt '2024-01-10 10:00:00'
run -- P -source -host "$H" -add big.txt -comment start
expect_rc 0
printf 'second version\n' >big.txt
stamp big.txt '2024-02-02 10:00:00'
run -- P -source -host "$H" -add big.txt -subversion 2 -comment second
expect_rc 0

# The server: the host's files as they are, but the second version of
# big.txt trickles; it stops by itself after five minutes.
cat >"$SCRATCH/trickle.py" <<'PY'
import http.server, os, sys, threading, time
root = sys.argv[1]
class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)
    def do_GET(self):
        if not self.path.endswith("/big.txt_v2"):
            return super().do_GET()
        self.send_response(200)
        self.send_header("Content-Length", "100000")
        self.end_headers()
        try:
            for _ in range(60):
                self.wfile.write(b"x")
                self.wfile.flush()
                time.sleep(3)
        except OSError:
            pass
    def log_message(self, *args):
        pass
threading.Timer(300, os._exit, [0]).start()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
PY
python3 "$SCRATCH/trickle.py" "$H" >"$SCRATCH/port" &
SERVER=$!
for _ in $(seq 100); do [ -s "$SCRATCH/port" ] && break; sleep 0.1; done
PORT=$(cat "$SCRATCH/port")

test_case "a trickling download ends by the progress rule"
workdir w
run "y\n" -- P -host "$H" -download -version 1/1
expect_rc 0
expect_content big.txt "first version\n"
started=$(date +%s)
run "y\ny\n" -- P -host "http://127.0.0.1:$PORT" -access 0 -download
took=$(($(date +%s) - started))
expect_rc 255
expect_line "Cause: the transfer from 127.0.0.1:$PORT stalled: less than 1024 bytes arrived in 30 seconds"
expect_err "TROSK error -- download unsuccessful"
if [ "$took" -ge 28 ] && [ "$took" -le 45 ]; then pass; else fail "the run took $took s"; fi
expect_content big.txt "first version\n"
ls -A | grep -q '^\.trosk_dl_' && fail "temporary download left behind: $(ls -A)" || pass

kill "$SERVER" 2>/dev/null
wait "$SERVER" 2>/dev/null
finish

#!/usr/bin/env bash
# Runs every benchmark scenario against the baselines (raw epoll server,
# Node.js) and against wirelab (offscreen, through wirelab-bench, and for
# the TCP and TLS echo and the UDP receive also `wirelab --headless`) in one run,
# inside a private network namespace with only loopback, and prints one table.
# Usage: bench/run-bench.sh BUILD_DIR   (BENCH_QUICK=1: smaller counts, for a smoke run;
#        BENCH_ONLY="1 3": only those scenarios, the others' rows stay n/a;
#        BENCH_ROUNDS, BENCH_BULK_ROUNDS: turns of the echo and bulk servers, 5 and 3)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build-bench}" && pwd)
B=$build/bench

if [ "${WIRELAB_BENCH_IN_NETNS:-}" != 1 ]; then
  inner="ip link set lo up && exec bash '$0' '$build'"
  if unshare -n true 2>/dev/null; then
    exec env WIRELAB_BENCH_IN_NETNS=1 unshare -n sh -c "$inner"
  elif unshare -rn true 2>/dev/null; then
    exec env WIRELAB_BENCH_IN_NETNS=1 unshare -rn sh -c "$inner"
  fi
  echo "run-bench: cannot create a private network namespace (unshare -n); not running" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/wirelab-xdg.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
ulimit -n 20000 2>/dev/null || ulimit -n "$(ulimit -Hn)"
node=$(command -v node || command -v nodejs)

quick=${BENCH_QUICK:-0}
RT=20000; DGRAMS=100000; BULK=$((256 << 20)); SPILL=$((2048 << 20)); ACCEPT_BIG=5000; TIMER_S=10
if [ "$quick" = 1 ]; then RT=2000; DGRAMS=20000; BULK=$((16 << 20)); SPILL=$((256 << 20)); ACCEPT_BIG=2000; TIMER_S=3; fi

out=$build/bench-results/$(date +%Y%m%d-%H%M%S)
mkdir -p "$out"
echo "run-bench: results in $out (quick=$quick)"

only=${BENCH_ONLY:-}
want() { [ -z "$only" ] || [[ " $only " == *" $1 "* ]]; }

say() { printf '  %-34s %s\n' "$1" "$2"; }
# key value of a result file
val() { sed -n "s/^$2=//p" "$out/$1" | tail -1; }

# Baseline: starts the server pinned to a core, waits for "ready", runs the
# load generator pinned to its core, stops the server and keeps both outputs.
baseline() {  # name server_cpu server_cmd... -- loadgen_cpu loadgen_args...
  local name=$1 scpu=$2; shift 2
  local server=()
  while [ "$1" != -- ]; do server+=("$1"); shift; done
  shift
  local lcpu=$1; shift
  local f=$out/$name
  : > "$f.server"
  taskset -c "$scpu" "${server[@]}" > "$f.server" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do grep -q ready "$f.server" && break; sleep 0.1; done
  # The server's CPU time until it is idle again (cpuwatch) counts what it put off.
  timeout 600 python3 "$here/cpuwatch.py" "$pid" -- taskset -c "$lcpu" "$B/bench-loadgen" "$@" --timeout 500 > "$f" 2>&1
  sleep 0.5   # datagrams still queued at the server
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  sed 's/^/server_/' "$f.server" >> "$f"
  say "$name" "$(grep -E '^(rt_per_s|mb_per_s|conns_per_s|server_datagrams_received|server_cpu_s)=' "$f" | tr '\n' ' ')"
}

# wirelab: the harness pinned to a core starts the load generator on its core.
# LOAD_LIMIT bounds the load generator's run (seconds).
wirelab() {  # name cpu project(file in projects/ or absolute path) endpoint loadgen_cpu loadgen_args...
  local name=$1 cpu=$2 project=$3 endpoint=$4 lcpu=$5; shift 5
  local f=$out/$name limit=${LOAD_LIMIT:-500}
  [[ $project == /* ]] || project=$here/projects/$project
  timeout 900 taskset -c "$cpu" "$B/wirelab-bench" load --project "$project" \
    --endpoint "$endpoint" --timeout $((limit + 20)) --limit 800 \
    -- taskset -c "$lcpu" "$B/bench-loadgen" "$@" --timeout "$limit" > "$f" 2> "$f.stderr"
  say "$name" "$(grep -E '^(rt_per_s|mb_per_s|conns_per_s|script_reads|loop_p99_ms|server_cpu_s|error)=' "$f" | tr '\n' ' ')"
}

# wirelab --headless: the program itself on a bench project (its script and
# JavaScript files copied into a directory of their own as project.txt),
# every line written to a log file on disk (HL_LOG=0: no log file), with
# HL_ARGS added to its command line, the load generator on its core.
# Prints the load generator's figures, then the run's own: its CPU time
# until idle, lines logged, the datagrams it received (counted in its log),
# the log file's size and its RSS (now, idle before the load, peak).
headless() {  # name cpu project port loadgen_cpu loadgen_args...
  local name=$1 cpu=$2 project=$3 port=$4 lcpu=$5; shift 5
  local f=$out/$name dir=$out/$name.project
  local logargs=(--log "$f.log")
  [ "${HL_LOG:-1}" = 0 ] && logargs=()
  mkdir -p "$dir"
  cp "$here/projects/"*.js "$dir/"
  cp "$here/projects/$project" "$dir/project.txt"
  # shellcheck disable=SC2086
  env -u QT_QPA_PLATFORM taskset -c "$cpu" "$build/wirelab/wirelab" --headless "$dir" --quiet "${logargs[@]}" \
    ${HL_ARGS:-} > "$f.server" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do [ -n "$(ss -Htuln "sport = :$port" 2>/dev/null)" ] && break; sleep 0.1; done
  local rss_idle
  rss_idle=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null)
  timeout 600 python3 "$here/cpuwatch.py" "$pid" -- taskset -c "$lcpu" "$B/bench-loadgen" "$@" --timeout 500 > "$f" 2>&1
  sleep 0.5
  echo "rss_kb=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null)" >> "$f"
  echo "rss_peak_kb=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null)" >> "$f"
  echo "idle_rss_kb=$rss_idle" >> "$f"
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  if [ -f "$f.log" ]; then
    echo "lines_logged=$(wc -l < "$f.log")" >> "$f"
    echo "datagrams_logged=$(grep -c ' srv  .*收到数据' "$f.log")" >> "$f"
    echo "log_file_bytes=$(stat -c %s "$f.log")" >> "$f"
  fi
  say "$name" "$(grep -E '^(rt_per_s|mb_per_s|datagrams_logged|server_cpu_s|rss_peak_kb|idle_rss_kb)=' "$f" | tr '\n' ' ')"
}

EPOLL="$B/bench-epoll-server"
NODE="$node $here/baselines/node-server.js"

# Of a scenario's rounds (name.r1 ...), the one with the median figure
# becomes the scenario's result; every round's figure is added to it.
median_round() {  # name key rounds
  local name=$1 key=$2 n=$3 i pick
  pick=$(for i in $(seq "$n"); do echo "$(val "$name.r$i" "$key") $i"; done | sort -g | sed -n "$(( (n + 1) / 2 ))p" | cut -d' ' -f2)
  cp "$out/$name.r$pick" "$out/$name"
  echo "rounds_$key=$(for i in $(seq "$n"); do val "$name.r$i" "$key"; done | paste -sd,)" >> "$out/$name"
  rm -f "$out/$name".r*.log  # the logged text itself is big; its size is in the result
  say "$name" "median of $n: $(val "$name" "$key") ($(val "$name" "rounds_$key"))"
}

# A round trip here is tens of microseconds, most of it the kernel's and the
# machine's (waking an idle core), and one run of a server can differ from
# the next by 10 to 15%: the servers take turns, ROUNDS times, and each
# row is the median run.
ROUNDS=${BENCH_ROUNDS:-5}
[ "$quick" = 1 ] && ROUNDS=1
want 1 && echo "1. TCP ping-pong ($RT round trips of 16 bytes; rounds: $ROUNDS)"
want 1 && for mode in split one; do
  lc=1; [ $mode = one ] && lc=0
  for r in $(seq "$ROUNDS"); do
    baseline pp-epoll-$mode.r$r 0 $EPOLL tcp-echo 7001 -- $lc pingpong --port 7001 --count $RT
    baseline pp-node-$mode.r$r 0 $NODE tcp-echo 7001 -- $lc pingpong --port 7001 --count $RT
    wirelab pp-wirelab-$mode.r$r 0 echo.txt srv $lc pingpong --port 7001 --count $RT
    [ $mode = split ] || continue
    headless pp-headless-split.r$r 0 echo.txt 7001 1 pingpong --port 7001 --count $RT
    # The same with json2str written out by hand: what the engine's JSON.stringify costs.
    headless pp-headless-hand.r$r 0 echo-handjson.txt 7001 1 pingpong --port 7001 --count $RT
  done
  for s in epoll node wirelab; do median_round pp-$s-$mode rt_per_s "$ROUNDS"; done
  [ $mode = split ] || continue
  for s in split hand; do median_round pp-headless-$s rt_per_s "$ROUNDS"; done
done

if want 3; then
# Node.js's own speed here moved by a third from one run to the next: the
# servers take turns BULK_ROUNDS times, and each row is the median CPU time.
BULK_ROUNDS=${BENCH_BULK_ROUNDS:-3}
[ "$quick" = 1 ] && BULK_ROUNDS=1
echo "3. Bulk ($BULK bytes into one connection; rounds: $BULK_ROUNDS)"
for r in $(seq "$BULK_ROUNDS"); do
  baseline bulk-epoll.r$r 0 $EPOLL tcp-sink 7002 -- 1 bulk --port 7002 --bytes $BULK
  baseline bulk-node.r$r 0 $NODE tcp-log 7002 -- 1 bulk --port 7002 --bytes $BULK
  wirelab bulk-wirelab.r$r 0 bulk.txt srv 1 bulk --port 7002 --bytes $BULK
  headless bulk-headless.r$r 0 bulk.txt 7002 1 bulk --port 7002 --bytes $BULK
  rm -f "$out/bulk-headless.r$r.log"  # its size is kept; the text itself is big
done
for s in epoll node wirelab headless; do median_round bulk-$s server_cpu_s "$BULK_ROUNDS"; done
# The log's memory bounded: past --log-memory the oldest blocks go to a file.
# grep reads the whole help: with -q it would stop at the match, the program
# would die of SIGPIPE, and pipefail would call the option missing.
if "$build/wirelab/wirelab" --help 2>&1 | grep -- '--log-memory' > /dev/null; then
  HL_LOG=0 HL_ARGS="--log-memory 64" headless bulk-spill 0 bulk.txt 7002 1 bulk --port 7002 --bytes $SPILL
else
  echo "  bulk-spill                         not available (no --log-memory)"
fi
fi

if want 2; then
echo "2. UDP receive ($DGRAMS datagrams of 64 bytes)"
baseline udp-epoll 0 $EPOLL udp-count 7003 -- 1 udp --port 7003 --count $DGRAMS
baseline udp-node 0 $NODE udp-count 7003 -- 1 udp --port 7003 --count $DGRAMS
wirelab udp-wirelab 0 udp.txt srv 1 udp --port 7003 --count $DGRAMS
headless udp-headless 0 udp.txt 7003 1 udp --port 7003 --count $DGRAMS
fi

if want 6; then
echo "6. Receive pane (the log and its view)"
timeout 900 taskset -c 0 "$B/wirelab-bench" logpane --limit 800 > "$out/pane-wirelab" 2> "$out/pane-wirelab.stderr"
say pane-wirelab "$(grep -E '^(append_us_at|mem_per|find_cpu_ms|flood_loop_p99)' "$out/pane-wirelab" | tr '\n' ' ')"
fi

if want 7; then
echo "7. Start-up"
BENCH_T0_NS=$(date +%s%N) timeout 120 taskset -c 0 "$B/wirelab-bench" startup \
  --project "$here/projects/echo.txt" --limit 100 > "$out/startup-wirelab" 2> "$out/startup-wirelab.stderr"
say startup-wirelab "$(tr '\n' ' ' < "$out/startup-wirelab")"
fi

want 4 && echo "4. Accept scale"
want 4 && for n in 1000 $ACCEPT_BIG; do
  baseline accept$n-epoll 0 $EPOLL tcp-echo 7004 -- 1 accept --port 7004 --conns $n
  baseline accept$n-node 0 $NODE tcp-echo 7004 -- 1 accept --port 7004 --conns $n
  # Bounded: a run that has not finished by then reports what it reached.
  LOAD_LIMIT=240 wirelab accept$n-wirelab 0 accept.txt srv 1 accept --port 7004 --conns $n
done

if want 5; then
echo "5. Script timers (1,000 endpoints, ${TIMER_S} s)"
timeout 600 taskset -c 0 "$B/wirelab-bench" timers --project "$here/projects/timers.txt" \
  --expect 1000 --duration $TIMER_S --limit 500 > "$out/timers-wirelab" 2> "$out/timers-wirelab.stderr"
say timers-wirelab "$(grep -E '^(on_time|ticks|error)' "$out/timers-wirelab" | tr '\n' ' ')"
fi

if want 8; then
echo "8. TLS ping-pong ($RT round trips of 16 bytes)"
# The run's own server certificate (for localhost, P-256), in a project
# directory beside a copy of the TLS echo project; the load generator takes
# it as it is. The headless run's directory gets the same files.
tlsdir=$out/tls-wirelab-split.project
mkdir -p "$tlsdir" "$out/tls-headless-split.project"
cp "$here/projects/"*.js "$tlsdir/"
cp "$here/projects/tlsecho.txt" "$tlsdir/project.txt"
if openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=localhost \
     -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout "$tlsdir/tls-server.key" \
     -out "$tlsdir/tls-server.pem" > "$out/tls-openssl.log" 2>&1; then
  cp "$tlsdir"/tls-server.* "$out/tls-headless-split.project/"
  cert=$tlsdir/tls-server.pem; key=$tlsdir/tls-server.key
  baseline tls-epoll-split 0 "$B/bench-epoll-tls-server" 7008 "$cert" "$key" -- 1 pingpong --port 7008 --count $RT --tls 1
  baseline tls-node-split 0 $NODE tls-echo 7008 "$cert" "$key" -- 1 pingpong --port 7008 --count $RT --tls 1
  wirelab tls-wirelab-split 0 "$tlsdir/project.txt" srv 1 pingpong --port 7008 --count $RT --tls 1
  headless tls-headless-split 0 tlsecho.txt 7008 1 pingpong --port 7008 --count $RT --tls 1
else
  echo "  tls                                no certificate (openssl failed: $out/tls-openssl.log)"
fi
fi

echo
python3 "$here/report.py" "$out" | tee "$out/table.md"

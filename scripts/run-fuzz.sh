#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds (default 60) on its
# seed corpus. New inputs go to a scratch directory, not into the repository.
# Exits non-zero if any target finds a crash, leak, hang or sanitizer report.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-60}
scratch=$(mktemp -d /tmp/wirelab-fuzz.XXXXXX)
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
failed=0
for fuzzer in "$build"/fuzz_*; do
  [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  mkdir -p "$scratch/$name" "$root/fuzz/corpus/$name"
  extra=()
  asan=${ASAN_OPTIONS:-}
  # The JavaScript engine keeps strings in a heap it manages itself, which
  # LeakSanitizer cannot see into: its reports there are noise.
  case $name in fuzz_calltext | fuzz_plainjsonreader) extra=(-detect_leaks=0); asan=detect_leaks=0 ;; esac
  if ASAN_OPTIONS="$asan" "$fuzzer" "${extra[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
       -artifact_prefix="$scratch/$name-" "$scratch/$name" "$root/fuzz/corpus/$name" \
       > "$scratch/$name.log" 2>&1; then
    echo "fuzz: $name ok ($(grep -o 'Done [0-9]* runs' "$scratch/$name.log"))"
  else
    echo "fuzz: $name FAILED"; tail -40 "$scratch/$name.log"; failed=1
  fi
done
[ $failed -eq 0 ] && rm -rf "$scratch"
exit $failed

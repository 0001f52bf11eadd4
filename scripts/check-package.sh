#!/usr/bin/env bash
# Checks the wirelab .deb the way a user meets it:
#   1. its files: desktop-file-validate, appstreamcli validate --no-net,
#      systemd-analyze verify (the service unit, as an instance) and lintian
#      (no errors) on what the package holds;
#   2. a fresh Debian 12 root (debootstrap, minbase) in which
#      apt-get install ./wirelab_*.deb pulls in only the declared dependencies,
#      then wirelab --version, monitorcfg --version, monitorcfg-sim --help, the
#      simulated monitor's start, a TLS connection (the TLS example project,
#      headless, with certificates made here by openssl, in a network
#      namespace of its own) and each desktop entry's Exec line under
#      xvfb-run opening its window.
# Builds nothing. Needs root and, for step 2, the network.
# Usage: check-package.sh [--files-only] [path/to/wirelab_*.deb | build dir]
#   (default: the newest wirelab_*.deb in build-package/)
# Environment: DEBIAN_MIRROR (default http://deb.debian.org/debian).
set -euo pipefail

MIRROR=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
SUITE=bookworm
CMD_TIMEOUT=30        # seconds for one command inside the root
WINDOW_TIMEOUT=20     # seconds for a window to appear

files_only=0
if [ "${1:-}" = "--files-only" ]; then
  files_only=1
  shift
fi
where=${1:-build-package}
if [ -d "$where" ]; then
  deb=$(ls -t "$where"/wirelab_*.deb 2>/dev/null | head -n 1 || true)
else
  deb=$where
fi
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "check-package: no wirelab_*.deb found at '$where'; build it with: make package" >&2
  exit 2
fi
deb=$(realpath "$deb")
if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: run as root (debootstrap, chroot and mount need it)" >&2
  exit 2
fi
for tool in dpkg-deb lintian desktop-file-validate appstreamcli systemd-analyze debootstrap chroot mount timeout \
            openssl unshare ip; do
  if ! command -v "$tool" >/dev/null; then
    echo "check-package: $tool is missing; run: bash scripts/install-deps.sh --packaging" >&2
    exit 2
  fi
done

work=$(mktemp -d /var/tmp/check-package.XXXXXX)
root="$work/root"
mounted=()

cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[$i]}" 2>/dev/null || true
  done
  # Never remove the root while anything is still mounted below it: a bind
  # mount of /dev would take the host's device nodes with it.
  if grep -q " $work/" /proc/self/mounts; then
    echo "check-package: something is still mounted below $work; left it in place" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

results=()
failures=0
pass() { results+=("PASS  $1"); echo "check-package: PASS $1"; }
fail() { results+=("FAIL  $1"); failures=$((failures + 1)); echo "check-package: FAIL $1" >&2; }

summary() {
  echo
  echo "check-package: $(basename "$deb")"
  printf '  %s\n' "${results[@]}"
  if [ "$failures" -eq 0 ]; then
    echo "check-package: PASS (${#results[@]} checks)"
    exit 0
  fi
  echo "check-package: FAIL ($failures of ${#results[@]} checks)"
  exit 1
}

# ---- 1. The package's files ------------------------------------------------
echo "check-package: checking $deb"
files="$work/files"
dpkg-deb -x "$deb" "$files"

for f in usr/bin/wirelab usr/bin/monitorcfg usr/bin/monitorcfg-sim \
         usr/share/icons/hicolor/scalable/apps/wirelab.svg \
         usr/share/icons/hicolor/scalable/apps/monitorcfg.svg \
         usr/share/man/man1/wirelab.1.gz usr/share/man/man1/monitorcfg.1.gz \
         usr/share/man/man1/monitorcfg-sim.1.gz \
         usr/share/doc/wirelab/README.md usr/share/doc/wirelab/copyright \
         usr/share/doc/wirelab/examples/demo/project.txt \
         lib/systemd/system/wirelab@.service; do
  [ -e "$files/$f" ] || fail "package holds /$f"
done
desktops=("$files"/usr/share/applications/*.desktop)
metainfos=("$files"/usr/share/metainfo/*.metainfo.xml)
if [ ${#desktops[@]} -eq 2 ] && [ -e "${desktops[0]}" ] && [ ${#metainfos[@]} -eq 2 ] && [ -e "${metainfos[0]}" ]; then
  pass "package holds the programs, two desktop entries, two metainfo files, icons, man pages and docs"
else
  fail "package holds two desktop entries and two metainfo files"
fi

# Hints count too: an entry in more than one main category shows up more
# than once in the menu.
for d in "${desktops[@]}"; do
  [ -e "$d" ] || continue
  if out=$(desktop-file-validate "$d" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate $(basename "$d")"
  else
    echo "$out" >&2
    fail "desktop-file-validate $(basename "$d")"
  fi
done
for m in "${metainfos[@]}"; do
  [ -e "$m" ] || continue
  if out=$(appstreamcli validate --no-net "$m" 2>&1) && ! grep -qE '^[EWI]: ' <<<"$out"; then
    pass "appstreamcli validate --no-net $(basename "$m")"
  else
    echo "$out" >&2
    fail "appstreamcli validate --no-net $(basename "$m")"
  fi
done
# The service unit, verified as an instance would be loaded. Its ExecStart
# names the installed program; here that is the package's copy (the man page
# named in Documentation= is checked above as a file of the package).
unit="$files/lib/systemd/system/wirelab@.service"
if [ -f "$unit" ] && grep -q '^ExecStart=/usr/bin/wirelab --headless /etc/wirelab/%i ' "$unit"; then
  mkdir "$work/units"
  sed "s#^ExecStart=/usr/bin/wirelab #ExecStart=$files/usr/bin/wirelab #" "$unit" >"$work/units/wirelab@.service"
  if out=$(systemd-analyze verify --man=no "$work/units/wirelab@rig1.service" 2>&1) && [ -z "$out" ]; then
    pass "systemd-analyze verify wirelab@.service"
  else
    echo "$out" >&2
    fail "systemd-analyze verify wirelab@.service"
  fi
else
  fail "wirelab@.service runs /usr/bin/wirelab --headless /etc/wirelab/%i"
fi
lintian_out=$(lintian --fail-on error "$deb" 2>&1) && lintian_rc=0 || lintian_rc=$?
if [ -n "$lintian_out" ]; then echo "$lintian_out"; fi
if [ "$lintian_rc" -eq 0 ] && ! grep -q '^E: ' <<<"$lintian_out"; then
  pass "lintian: no errors ($(grep -c '^W: ' <<<"$lintian_out" || true) warnings)"
else
  fail "lintian: errors"
fi

if [ "$files_only" -eq 1 ]; then
  summary
fi

# ---- 2. A fresh Debian 12 root --------------------------------------------
echo "check-package: debootstrap $SUITE (minbase) from $MIRROR into $root"
if ! timeout 1200 debootstrap --variant=minbase "$SUITE" "$root" "$MIRROR" >"$work/debootstrap.log" 2>&1; then
  tail -n 20 "$work/debootstrap.log" >&2
  fail "debootstrap $SUITE"
  summary
fi
cat >"$root/etc/apt/sources.list" <<EOF
deb $MIRROR $SUITE main
deb $MIRROR $SUITE-updates main
deb http://deb.debian.org/debian-security $SUITE-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
# An installed system has /etc/hosts (the installer writes it); debootstrap
# leaves it out, and without it "localhost" does not resolve in the root.
if [ ! -e "$root/etc/hosts" ]; then
  printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
fi
mount_in_root() {  # mount arguments..., mount point last
  local point=${*: -1}
  if ! mount "$@"; then
    echo "check-package: could not mount $point" >&2
    exit 1
  fi
  mounted+=("$point")
}
mount_in_root -t proc proc "$root/proc"
mount_in_root -t sysfs sysfs "$root/sys"
mount_in_root --bind /dev "$root/dev"
mount_in_root --bind /dev/pts "$root/dev/pts"

# Runs a command in the root as a user would: a clean environment with a
# UTF-8 locale and no display.
in_root() {
  local seconds=$1
  shift
  timeout "$seconds" chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"
}

cp "$deb" "$root/tmp/"
name=$(basename "$deb")
echo "check-package: apt-get install ./$name (declared dependencies only, no recommends)"
if in_root 1200 apt-get update -qq >"$work/apt.log" 2>&1 &&
   in_root 1200 sh -c "cd /tmp && apt-get install -y -q --no-install-recommends ./$name" >>"$work/apt.log" 2>&1; then
  pass "apt-get install ./$name in a fresh $SUITE root"
else
  tail -n 30 "$work/apt.log" >&2
  fail "apt-get install ./$name in a fresh $SUITE root"
  summary
fi

# One line with the version, exit status 0, no display needed.
version=$(dpkg-deb -f "$deb" Version)
for prog in wirelab monitorcfg; do
  if out=$(in_root "$CMD_TIMEOUT" "$prog" --version 2>&1) &&
     [ "$(wc -l <<<"$out")" -eq 1 ] && grep -q "$version" <<<"$out"; then
    pass "$prog --version: $out"
  else
    echo "$out" | head -n 5 >&2
    fail "$prog --version (one line with $version, exit 0, no display)"
  fi
done
if out=$(in_root "$CMD_TIMEOUT" monitorcfg-sim --help 2>&1) && grep -qi 'usage' <<<"$out" &&
   grep -q -- '--silent' <<<"$out"; then
  pass "monitorcfg-sim --help"
else
  echo "$out" | head -n 5 >&2
  fail "monitorcfg-sim --help (usage and options, exit 0)"
fi

# The simulator prints its pseudo-terminal on the first line, then serves
# until it reads quit.
if out=$(in_root "$CMD_TIMEOUT" sh -c '{ sleep 1; echo quit; } | monitorcfg-sim 2>/dev/null') &&
   grep -qE '^/dev/pts/[0-9]+$' <<<"$(head -n 1 <<<"$out")"; then
  pass "monitorcfg-sim starts on $(head -n 1 <<<"$out") and quits"
else
  echo "$out" | head -n 5 >&2
  fail "monitorcfg-sim starts on a pseudo-terminal and quits"
fi

# A TLS connection with what the package installed (Qt's TLS back end loads
# OpenSSL at run time): the TLS example's server and client echo one line
# and the run ends with status 0. The certificates are made here; the run
# has a network namespace of its own (loopback only).
tls_dir="$root/tmp/tls-example"
cp -r "$root/usr/share/doc/wirelab/examples/tls" "$tls_dir"
(
  cd "$tls_dir"
  key="-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
  openssl req -x509 $key -days 2 -subj "/CN=check-package CA" -keyout ca.key -out ca.pem &&
    openssl req -x509 $key -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
      -CA ca.pem -CAkey ca.key -keyout server.key -out server.pem
) >"$work/tls-certs.log" 2>&1
if out=$(timeout 60 unshare -n sh -c "ip link set lo up && chroot '$root' /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
           PATH=/usr/bin:/bin wirelab --headless --duration 20 /tmp/tls-example" 2>&1) &&
   grep -q 'device  收到数据：hello over TLS' <<<"$out"; then
  pass "a TLS connection: the TLS example's client and server echo a line"
else
  echo "$out" | tail -n 20 >&2
  cat "$work/tls-certs.log" >&2
  fail "a TLS connection: the TLS example's client and server echo a line (status 0)"
fi

# Each desktop entry's Exec line, run under a virtual X display, must open
# the program's window: a top-level window with the program's title while the
# process is still running.
echo "check-package: installing xvfb xauth x11-utils into the root for the window checks"
if ! in_root 1200 apt-get install -y -q --no-install-recommends xvfb xauth x11-utils >>"$work/apt.log" 2>&1; then
  tail -n 30 "$work/apt.log" >&2
  fail "installing xvfb into the root"
  summary
fi
cat >"$root/tmp/window-check.sh" <<'EOF'
# Inside xvfb-run: start the Exec line ($1), wait up to $3 s for a window
# titled $2, and report whether the program was still running then.
exec_line=$1 title=$2 seconds=$3
cd "$HOME"
sh -c "exec $exec_line" >/tmp/window-check.log 2>&1 &
pid=$!
end=$(( $(date +%s) + seconds ))
while [ "$(date +%s)" -lt "$end" ]; do
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "the program ended before its window showed:"; cat /tmp/window-check.log; exit 1
  fi
  if xwininfo -root -tree | grep -qF "\"$title\""; then
    kill "$pid"; wait "$pid" 2>/dev/null; exit 0
  fi
  sleep 0.5
done
echo "no window titled \"$title\" after $seconds s; top-level windows:"
xwininfo -root -children
cat /tmp/window-check.log
kill "$pid"; wait "$pid" 2>/dev/null
exit 1
EOF
check_window() {  # desktop file name, expected window title
  local entry="$root/usr/share/applications/$1" exec_line out
  # The Exec line without field codes (%f, %u, ...), as a menu with no
  # files to open runs it.
  exec_line=$(sed -n 's/^Exec=//p' "$entry" | head -n 1 | sed 's/ *%[a-zA-Z]//g')
  if out=$(in_root $((WINDOW_TIMEOUT + 30)) xvfb-run -a sh /tmp/window-check.sh "$exec_line" "$2" "$WINDOW_TIMEOUT" 2>&1); then
    pass "Exec=$exec_line of $1 opens the window \"$2\""
  else
    echo "$out" | tail -n 20 >&2
    fail "Exec=$exec_line of $1 opens the window \"$2\""
  fi
}
for d in "$root"/usr/share/applications/*.desktop; do
  case "$(sed -n 's/^Exec=//p' "$d" | head -n 1)" in
    wirelab*) check_window "$(basename "$d")" "TCP/UDP Socket 调试工具" ;;
    monitorcfg*) check_window "$(basename "$d")" "接地电阻在线监测仪配置工具" ;;
    *) fail "$(basename "$d"): unexpected Exec line" ;;
  esac
done

summary

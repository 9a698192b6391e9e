#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, checks it with lintian, installs it, checks what
# it installed (its copyright, changelog, AppStream metainfo, desktop entry
# and examples among them), starts the installed program the way a desktop starts it
# (from the home folder, with a read-only program folder), and removes the
# package again.
#
# As root, with the package not yet installed, it installs for real with apt
# (as CI does on its throwaway machine; apt waits for another running
# install instead of failing); otherwise it unpacks the package into a scratch
# root and checks the same files there.
#
#   tests/install/check-package.sh [extra cmake options for the package build]
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
build=${V217_PACKAGE_BUILD:-$source_dir/build-package}

fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
note() { echo "check-package: $*"; }

note "building the package in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DV217_BUILD_TESTS=OFF "$@" >/dev/null
nice cmake --build "$build" --parallel 2 >/dev/null
rm -f "$build"/qmxv217_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack"; }
debs=("$build"/qmxv217_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single qmxv217 package"
deb=${debs[0]}
note "made $(basename "$deb")"

scratch=$(mktemp -d)
installed=no
sim_pid=
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"; }
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  if [ "$installed" = yes ]; then
    apt_get purge qmxv217 >/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# What a distribution runs on a package before it takes it: lintian, which
# fails the check on any error. Its warnings and notes are shown, not fatal
# (as root it also warns that it runs as root).
command -v lintian >/dev/null || fail "no lintian: run scripts/install-deps.sh"
note "lintian $(basename "$deb")"
lintian_status=0
lintian --fail-on error "$deb" >"$scratch/lintian.txt" 2>&1 || lintian_status=$?
sed 's/^/  /' "$scratch/lintian.txt"
[ "$lintian_status" -eq 0 ] || fail "lintian: status $lintian_status"

# The control fields a package archive and apt rely on.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qmxv217 ] || fail "package name"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ "$(field Section)" = electronics ] || fail "section is '$(field Section)'"
[ -n "$(field Description)" ] || fail "no description"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  field Depends | grep -qw "$dep" || fail "Depends lacks $dep: $(field Depends)"
done

# Nothing of the test suite or the build tools goes into the package.
if dpkg-deb -c "$deb" | grep -Ei 'test|gtest|gmock|iconsizes|\.a$|include/'; then
  fail "the package holds test or build files"
fi
# The udev rule is an example only: nothing goes where udev would load it.
if dpkg-deb -c "$deb" | grep -E 'udev/rules\.d/'; then
  fail "the package installs an active udev rule"
fi

if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W -f='${Status}' qmxv217 2>/dev/null | grep -q "ok installed"; then
  note "installing with apt-get"
  apt_get install --no-install-recommends "$(realpath "$deb")" >"$scratch/apt.log" 2>&1 \
    || { cat "$scratch/apt.log" >&2; fail "apt-get install"; }
  installed=yes
  root=/
else
  note "unpacking into a scratch root (not root, or qmxv217 already installed)"
  root=$scratch/root
  dpkg-deb -x "$deb" "$root"
fi
usr=${root%/}/usr

# The installed files: program, desktop entry, icons at each theme size,
# manual page and documentation.
[ -x "$usr/bin/qmxv217" ] || fail "no /usr/bin/qmxv217"
file -b "$usr/bin/qmxv217" | grep -q "ELF.*executable" || fail "/usr/bin/qmxv217 is not a program"
boardsim=no
if grep -q 'v217-boardsim' tools/CMakeLists.txt; then
  boardsim=yes
  [ -x "$usr/bin/v217-boardsim" ] || fail "no /usr/bin/v217-boardsim"
  zcat "$usr/share/man/man1/v217-boardsim.1.gz" | sed -n 1p | grep -q '^\.TH V217-BOARDSIM 1' \
    || fail "no manual page for v217-boardsim"
fi
for size in 16 32 48 64 128 256; do
  icon=$usr/share/icons/hicolor/${size}x${size}/apps/qmxv217.png
  [ -f "$icon" ] || fail "no icon $icon"
  file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon: $(file -b "$icon")"
done
[ -f "$usr/share/man/man1/qmxv217.1.gz" ] || fail "no manual page"
zcat "$usr/share/man/man1/qmxv217.1.gz" | sed -n 1p | grep -q '^\.TH QMXV217 1' || fail "manual page is not a man page"
[ -f "$usr/share/doc/qmxv217/README.md" ] || fail "no README in /usr/share/doc/qmxv217"
head -1 "$usr/share/doc/qmxv217/help.txt" | grep -q '^QMX V217 Serial Port Relay Driver Kit' \
  || fail "no help text in /usr/share/doc/qmxv217"

# The copyright file in the machine-readable format, the licence it names,
# and the changelog of this very version.
doc=$usr/share/doc/qmxv217
[ -f "$doc/copyright" ] || fail "no copyright file"
[ "$(head -1 "$doc/copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] \
  || fail "the copyright file is not in the machine-readable format"
grep -q '^License: GPL-3.0-or-later$' "$doc/copyright" && grep -q '/usr/share/common-licenses/GPL-3' "$doc/copyright" \
  || fail "the copyright file does not name GPL-3.0-or-later"
[ -f "$doc/changelog.Debian.gz" ] || fail "no changelog.Debian.gz"
zcat "$doc/changelog.Debian.gz" >"$scratch/changelog"
[ "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)" = "$(field Version)" ] \
  || fail "the changelog's version is not the package's $(field Version)"

# The AppStream metainfo: valid, launching the installed desktop entry, and
# naming this version as its newest release.
metainfo=$usr/share/metainfo/io.github.qmxv217.metainfo.xml
[ -f "$metainfo" ] || fail "no AppStream metainfo"
command -v appstreamcli >/dev/null || fail "no appstreamcli: run scripts/install-deps.sh"
appstreamcli validate --no-net "$metainfo" || fail "the metainfo does not validate"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ -n "$launchable" ] && [ -f "$usr/share/applications/$launchable" ] \
  || fail "the metainfo launches '$launchable', which is not installed"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
[ "$release" = "$(field Version | sed 's/-[^-]*$//')" ] \
  || fail "the metainfo's newest release is '$release', the package $(field Version)"

# The service: program, manual page, systemd unit and example configuration;
# it answers --help, and a faulty configuration ends it with status 2.
[ -x "$usr/bin/qmxv217d" ] || fail "no /usr/bin/qmxv217d"
zcat "$usr/share/man/man8/qmxv217d.8.gz" | sed -n 1p | grep -q '^\.TH QMXV217D 8' || fail "no manual page for qmxv217d"
unit=$usr/lib/systemd/system/qmxv217d.service
[ -f "$unit" ] || fail "no systemd unit"
for line in Type=notify WatchdogSec= Restart=on-failure DynamicUser=yes \
  SupplementaryGroups=dialout StateDirectory=qmxv217 ConfigurationDirectory=qmxv217 \
  "ExecStart=/usr/bin/qmxv217d "; do
  grep -q "^$line" "$unit" || fail "the unit lacks $line"
done
# The unit opens only the serial device groups that exist when it starts:
# the USB serial drivers are loaded at boot, so an adapter plugged in later
# opens too.
modules=$usr/lib/modules-load.d/qmxv217d.conf
for module in usbserial cdc_acm; do
  grep -qx "$module" "$modules" 2>/dev/null || fail "$modules does not load $module"
done
for group in ttyS ttyUSB ttyACM pts; do
  grep -q "^DeviceAllow=char-$group rw$" "$unit" || fail "the unit does not allow char-$group"
done
[ -f "$usr/share/doc/qmxv217/examples/qmxv217d.conf" ] || fail "no example configuration"
logrotate=${root%/}/etc/logrotate.d/qmxv217d
grep -q '^/var/lib/qmxv217/\*\.log {' "$logrotate" || fail "no logrotate snippet for the log files"
grep -q 'signal=USR1 qmxv217d.service' "$logrotate" || fail "the logrotate snippet does not reopen the log files"
if [ "$root" = / ] && command -v logrotate >/dev/null; then
  logrotate --debug "$logrotate" >"$scratch/logrotate.log" 2>&1 || { cat "$scratch/logrotate.log" >&2; fail "logrotate rejects its snippet"; }
fi
rules=$usr/share/doc/qmxv217/examples/99-qmxv217.rules.example
[ -f "$rules" ] || fail "no example udev rule"
grep -v '^#' "$rules" | grep 'SYMLINK+="v217-tank"' | grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' \
  || fail "the example udev rule does not name /dev/v217-tank or keep ModemManager away"
field Depends | grep -qw libsystemd0 || fail "Depends lacks libsystemd0: $(field Depends)"
# Both programs speak MQTT through libmosquitto.
field Depends | grep -qw libmosquitto1 || fail "Depends lacks libmosquitto1: $(field Depends)"
# Read whole: grep -q leaving at the first match would cut a long text
# short with SIGPIPE.
"$usr/bin/qmxv217d" --help >"$scratch/help.txt" || fail "qmxv217d --help exits with $?"
grep -q -- '--config FILE' "$scratch/help.txt" || fail "qmxv217d --help"
printf '[tank]\nport = 3\nspeed = 9600\n' >"$scratch/bad.conf"
status=0
"$usr/bin/qmxv217d" --config "$scratch/bad.conf" 2>"$scratch/bad.txt" || status=$?
[ "$status" -eq 2 ] && grep -q "bad.conf:3: unknown key 'speed'" "$scratch/bad.txt" \
  || fail "qmxv217d on a faulty configuration: status $status, $(cat "$scratch/bad.txt")"
! ldd "$usr/bin/qmxv217d" | grep -q 'libQt6Widgets' || fail "qmxv217d links Qt Widgets"
# The example project passes the installed service's checks: the record
# windows of a Monday have the lights' window.
example=$usr/share/doc/qmxv217/examples/example.iom
[ -f "$example" ] || fail "no example project"
schedule=$("$usr/bin/qmxv217d" --print-schedule --records --project "$example" --from 2027-01-11 --days 1) \
  || fail "qmxv217d --print-schedule on the example project: $schedule"
grep -q '^02,12,2027-01-11T07:00:00' <<<"$schedule" \
  || fail "the example project's Monday has no lights: $schedule"

desktop=$usr/share/applications/qmxv217.desktop
[ -f "$desktop" ] || fail "no desktop entry"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Name)" = "QMX V217" ] || fail "desktop Name is '$(entry Name)'"
[ "$(entry Icon)" = qmxv217 ] || fail "desktop Icon is '$(entry Icon)'"
[ "$(entry Terminal)" = false ] || fail "desktop entry starts a terminal"
exec_line=$(entry Exec)
program=${exec_line%% *}
[ -x "$usr/bin/$program" ] || fail "Exec=$exec_line names no installed program"

# Start it as the desktop does: a fresh user, the home folder as the current
# folder, the program in a folder the user cannot write (dropping root where
# possible, since root may write anywhere).
home=$scratch/home
runtime=$scratch/runtime
config=$home/.config/qmx-v217
mkdir -p "$home" "$runtime" "$config"
chmod 700 "$runtime"
as_user=()
if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1 && command -v setpriv >/dev/null; then
  chmod 755 "$scratch"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
user_env=(env -i PATH="$usr/bin:/usr/bin:/bin" HOME="$home" XDG_RUNTIME_DIR="$runtime"
  QT_QPA_PLATFORM=offscreen LANG=C.UTF-8)

# With the simulator installed, the run also shows that an installed program
# finds its last-run file in the configuration folder (nothing in the home
# folder, /usr/bin not writable) and opens the port it names through the port
# folder: the simulator links itself there as COM 4.
terminal=
if [ "$boardsim" = yes ]; then
  printf '4\r\n%s\r\n' "$home/bench.iom" >"$config/v217.dat"
  printf '0\r\n0\r\n0\r\n[t]\r\n[r]\r\n' >"$home/bench.iom"
  [ ${#as_user[@]} -eq 0 ] || chown -R nobody "$home" "$runtime"
  "${user_env[@]}" "${as_user[@]}" "$usr/bin/v217-boardsim" --port 4 \
    </dev/null >"$scratch/boardsim.txt" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    terminal=$(awk '$2 == "ready" && $3 == "COM4" { print $4 }' "$scratch/boardsim.txt")
    [ -n "$terminal" ] && break
    sleep 0.1
  done
  [ -n "$terminal" ] || { cat "$scratch/boardsim.txt" >&2; fail "the simulator did not start"; }
  [ "$(readlink "$config/ports/com4")" = "$terminal" ] || fail "the simulator did not link COM4"
elif [ ${#as_user[@]} -gt 0 ]; then
  chown -R nobody "$home" "$runtime"
fi

note "starting $usr/bin/$program offscreen for 5 s"
(cd "$home" && exec "${user_env[@]}" "${as_user[@]}" timeout 5 "$usr/bin/$program") \
  >"$scratch/out.txt" 2>&1 &
run_pid=$!
opened=no
if [ -n "$terminal" ]; then
  for _ in $(seq 40); do
    child=$(pgrep -P "$run_pid" -x "$program" || true)
    if [ -n "$child" ] && ls -l "/proc/$child/fd" 2>/dev/null | grep -q -- "-> $terminal\$"; then
      opened=yes
      break
    fi
    sleep 0.1
  done
fi
status=0
wait "$run_pid" || status=$?
if [ -n "$sim_pid" ]; then
  kill "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=
fi
[ "$status" -eq 124 ] || { cat "$scratch/out.txt" >&2; fail "the program ended with $status before 5 s"; }
# The offscreen platform says once that it has no window manager to pass size
# hints to; anything else the program prints is a fault.
if grep -v '^This plugin does not support propagateSizeHints()$' "$scratch/out.txt" >&2; then
  fail "the program wrote to its terminal"
fi
if [ -n "$terminal" ]; then
  [ "$opened" = yes ] || fail "the installed program did not open COM4 from its last-run file"
  [ ! -e "$config/ports/com4" ] || fail "the simulator left its link behind"
fi

if [ "$installed" = yes ]; then
  note "removing the package"
  apt_get purge qmxv217 >/dev/null
  installed=no
  [ ! -e /usr/bin/qmxv217 ] && [ ! -e /usr/share/applications/qmxv217.desktop ] \
    && [ ! -e /usr/share/icons/hicolor/48x48/apps/qmxv217.png ] || fail "files left after removal"
fi
note "OK"

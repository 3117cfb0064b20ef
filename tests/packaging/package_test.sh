#!/usr/bin/env bash
# The Debian package and the install it is made from, as far as a machine without root and
# without a running systemd can check them: the package's files, dependencies and description;
# the user unit through systemd-analyze; and an install into a scratch root with DESTDIR, whose
# programs then run from there: the host loads the module installed beside it (no --plugin, no
# registration) and drives the installed marqel-lcd through a pseudo-terminal, and the unit's
# command line runs as the service would and stops on SIGTERM.
#
#   package_test.sh --build DIR --work DIR --version X.Y.Z --moduledir lib/TRIPLET/marqel
#
# Exit status: 0 all checks passed, 1 a check failed, 2 bad arguments.
set -uo pipefail

build=""
work=""
version=""
moduledir=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --moduledir) moduledir=$2; shift 2 ;;
    *) echo "package_test: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$build" ] || [ -z "$work" ] || [ -z "$version" ] || [ -z "$moduledir" ]; then
  echo "usage: package_test.sh --build DIR --work DIR --version X.Y.Z --moduledir DIR" >&2
  exit 2
fi
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}
pass() {
  echo "ok: $*"
}

# Every file and link of the package, wherever it is installed from.
expected_files=$(sort <<<"./usr/bin/marqel-host
./usr/bin/marqel-lcd
./usr/$moduledir/Marqel.so
./usr/$moduledir/libmarqel-system.so.1
./usr/$moduledir/marqel-desktop.so
./usr/$moduledir/marqel-mpris.so
./usr/lib/systemd/user/marqel.service
./usr/share/doc/marqel/examples/marqel.env
./usr/share/doc/marqel/examples/play.txt
./usr/share/man/man1/marqel-host.1.gz
./usr/share/man/man1/marqel-lcd.1.gz")

# --- the package ----------------------------------------------------------------------------------
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack -G DEB"
  exit 1
fi
deb=$work/package/marqel_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  fail "no package $deb"
  exit 1
fi

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if [ "$files" = "$expected_files" ]; then
  pass "the package's files"
else
  fail "the package's files:"
  diff <(echo "$expected_files") <(echo "$files")
fi

# No maintainer scripts: nothing to run, and so nothing of the package's record that `dpkg -r`
# would keep for a purge.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -v '/$' | sort | tr '\n' ' ')
[ "$control" = "./control ./md5sums " ] || fail "the package's control files: $control"

depends=$(dpkg-deb -f "$deb" Depends)
# One package a line, without versions.
depended=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
for library in libc6 libstdc++6 libfltk1.3 libsdbus-c++1; do
  grep -qFx "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
done
if grep -q marqel <<<"$depends"; then
  fail "Depends names the package's own library: $depends"
fi
[ "$(dpkg-deb -f "$deb" Recommends)" = "default-dbus-session-bus | dbus-session-bus" ] ||
  fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
description=$(dpkg-deb -f "$deb" Description)
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "no long description: $description"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
[ "$failed" = 0 ] && pass "Depends ($depends), Recommends, Description, Version"

unit=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/user/marqel.service)
grep -qx "ExecStart=/usr/bin/marqel-host run --player mpris" <<<"$unit" ||
  fail "the packaged unit does not run /usr/bin/marqel-host run --player mpris"

# --- an install into a scratch root -----------------------------------------------------------------
root=$work/root
if ! DESTDIR=$root cmake --install "$build" --prefix /usr --strip >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  fail "cmake --install with DESTDIR"
  exit 1
fi
installed=$(cd "$root" && find . ! -type d | sort)
if [ "$installed" = "$expected_files" ]; then
  pass "the install's files are the package's"
else
  fail "the install's files:"
  diff <(echo "$expected_files") <(echo "$installed")
fi
runpath() { readelf -d "$1" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p'; }
[ "$(runpath "$root/usr/bin/marqel-host")" = "\$ORIGIN/../$moduledir" ] ||
  fail "marqel-host's RUNPATH: $(runpath "$root/usr/bin/marqel-host")"
# shellcheck disable=SC2016  # $ORIGIN is the dynamic linker's, not the shell's
[ "$(runpath "$root/usr/$moduledir/Marqel.so")" = '$ORIGIN' ] ||
  fail "Marqel.so's RUNPATH: $(runpath "$root/usr/$moduledir/Marqel.so")"

# The user unit, with its program where the scratch root has it. No systemd runs here: verify
# loads the unit into a manager of its own, which wants a runtime directory.
mkdir -p "$work/unit" "$work/runtime"
chmod 700 "$work/runtime"
sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$root/usr/lib/systemd/user/marqel.service" \
  >"$work/unit/marqel.service"
if verified=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze --user --man=no verify \
                "$work/unit/marqel.service" 2>&1) && [ -z "$verified" ]; then
  pass "systemd-analyze verify marqel.service"
else
  fail "systemd-analyze verify marqel.service: $verified"
fi

# The installed programs in an environment of their own: a user with nothing registered, and
# nothing of the build's to lean on. The sanitizers' settings pass, should the build have them.
home=$work/home
mkdir -p "$home/.config"
# A command, not a function, so that a program started in the background is its own process.
run_installed=(env -i HOME="$home" PATH=/usr/bin:/bin)
for variable in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
  [ -n "${!variable:-}" ] && run_installed+=("$variable=${!variable}")
done
for program in marqel-host marqel-lcd; do
  shown=$("${run_installed[@]}" "$root/usr/bin/$program" --version)
  [ "$shown" = "$program $version" ] || fail "$program --version: $shown"
done

lcd_pid=""
service_pid=""
# What this script started in the background does not outlive it.
# shellcheck disable=SC2317  # run by the trap
stop_background() {
  for pid in $lcd_pid $service_pid; do kill "$pid" 2>/dev/null; done
}
trap stop_background EXIT
# Starts the installed marqel-lcd on a new pty; sets lcd_pid and pty.
start_lcd() {
  "${run_installed[@]}" "$root/usr/bin/marqel-lcd" --dump --exit-after-idle 2500 >"$1" 2>&1 &
  lcd_pid=$!
  pty=""
  for _ in $(seq 100); do
    pty=$(head -n 1 "$1" 2>/dev/null)
    [ -n "$pty" ] && return 0
    sleep 0.05
  done
  fail "marqel-lcd printed no pty"
  exit 1
}
finish_lcd() {
  wait "$lcd_pid"
  lcd_pid=""
}

# Settings beside the installed module: their contrast shows on the glass that this module ran.
printf ' 1 \r\n 100 \r\n' >"$root/usr/$moduledir/gen_marqel.ini"
cat >"$work/show.txt" <<'SCRIPT'
title 3. Some Artist - Some Title - Winamp
state 1
length 240
position 60000
tick 2
tick 8
SCRIPT
start_lcd "$work/lcd.out"
"${run_installed[@]}" "$root/usr/bin/marqel-host" run --player "script:$work/show.txt" --com "1=$pty" \
  >"$work/host.out" 2>&1
status=$?
finish_lcd
[ "$status" = 0 ] || fail "the installed host exited with $status: $(cat "$work/host.out")"
expected_glass="SOME ARTIST                |
SOME TITLE                 |
                           |
#######                    |
timing faults: controller 1: 0, controller 2: 0|
stray bytes: 0|
contrast: 100|"
glass=$(tail -n +2 "$work/lcd.out" | sed 's/$/|/')
if [ "$glass" = "$expected_glass" ]; then
  pass "the installed host, without --plugin, drove the installed marqel-lcd"
else
  fail "the glass the installed programs showed:"
  diff <(echo "$expected_glass") <(echo "$glass")
fi

# The example script the package ships plays through.
start_lcd "$work/example-lcd.out"
"${run_installed[@]}" "$root/usr/bin/marqel-host" run --fast --com "1=$pty" \
  --player "script:$root/usr/share/doc/marqel/examples/play.txt" >"$work/example.out" 2>&1
status=$?
finish_lcd
[ "$status" = 0 ] || fail "the example script: exit status $status: $(cat "$work/example.out")"

# The service as the unit runs it: its command line, the ports from an environment file, no
# display and nothing on standard input; here no session bus either. The host keeps waiting for
# a bus, with the plug-in's messages on standard error, until `systemctl stop` sends SIGTERM.
exec_start=$(sed -n "s|^ExecStart=/usr/bin/|$root/usr/bin/|p" "$root/usr/lib/systemd/user/marqel.service")
start_lcd "$work/service-lcd.out"
printf 'MARQEL_COM1=%s\n' "$pty" >"$work/marqel.env"
# shellcheck disable=SC2086  # the unit's command line, split at blanks as systemd splits it
"${run_installed[@]}" "$(cat "$work/marqel.env")" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
  $exec_start </dev/null >"$work/service.out" 2>&1 &
service_pid=$!
sleep 2
kill -TERM "$service_pid"
wait "$service_pid"
status=$?
service_pid=""
finish_lcd
[ "$status" = 0 ] || fail "the service after SIGTERM: exit status $status: $(cat "$work/service.out")"
grep -q "no D-Bus session bus" "$work/service.out" ||
  fail "the service did not report the missing bus: $(cat "$work/service.out")"
expected_glass="                           |
                           |
                           |
                           |
timing faults: controller 1: 0, controller 2: 0|
stray bytes: 0|
contrast: 100|"
glass=$(tail -n +2 "$work/service-lcd.out" | sed 's/$/|/')
if [ "$glass" = "$expected_glass" ] && [ "$status" = 0 ]; then
  pass "the service's command line ran without display, input or bus, and stopped on SIGTERM"
else
  fail "the glass the service left:"
  diff <(echo "$expected_glass") <(echo "$glass")
fi

if [ "$failed" = 0 ]; then
  echo "package_test: all checks passed"
fi
exit "$failed"

# Helpers for the Wine tests, sourced by them (bash): which Wine, the Windows build, a fresh
# prefix under a headless X server, the virtual LCD on COM1, and the ok / not ok bookkeeping.
# The sourcing script sets `source_dir`, `work` and `lcd` first, and ends with `finish`.

phase() { echo "# [$SECONDS s] $*"; }
banner() {
  echo "======================================================================"
  echo "$@"
  echo "======================================================================"
}

# Sets arch (win32 or win64), preset (windows or windows-x64), wine, wine64 (the 64-bit loader,
# which may not be there) and wineserver; exits 77
# where Wine is missing. The shipped plug-in is 32-bit; some machines cannot execute 32-bit code
# at all (the kernel's 32-bit emulation is off), and there the 64-bit build is what Wine can
# run. WHAT names what the 64-bit build stands in for, for the notice.
pick_wine() {  # pick_wine WHAT
  local wine_lib=${MARQEL_WINE_LIB:-/usr/lib/wine}  # Debian's place for the loaders
  local wine32=$wine_lib/wine
  wine64=$wine_lib/wine64
  if ! command -v wine >/dev/null 2>&1 && [ ! -x "$wine64" ] && [ ! -x "$wine32" ]; then
    banner "SKIPPED: Wine is not installed, so $1 was NOT tested." \
           "Run scripts/setup-windows to install the cross compiler, NSIS and Wine."
    exit 77
  fi
  if [ -x "$wine32" ] && "$wine32" --version >/dev/null 2>&1; then
    arch=win32 preset=windows wine=$wine32
  elif [ -x "$wine64" ] && "$wine64" --version >/dev/null 2>&1; then
    arch=win64 preset=windows-x64 wine=$wine64
    export WINELOADER=$wine64
    banner "NOTE: this machine cannot run 32-bit Windows code under Wine, so the shipped" \
           "32-bit $1 is NOT run here; its 64-bit build (preset windows-x64) is tested instead."
  elif command -v wine >/dev/null 2>&1 && wine --version >/dev/null 2>&1; then
    arch=win32 preset=windows wine=$(command -v wine)
  else
    banner "FAILED: Wine is installed but cannot run here ($wine32 and $wine64 both fail)."
    exit 1
  fi
  wineserver=$wine_lib/wineserver
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver)
}

# Configures and builds a preset, one build at a time: the Wine tests and the sanitizer runs
# share the Windows build folders.
build_preset() {  # build_preset PRESET LOG
  mkdir -p "$source_dir/build"
  (
    cd "$source_dir" || exit 1
    exec 9>"$source_dir/build/.$1.lock"
    flock 9
    cmake --preset "$1" && cmake --build --preset "$1" -j 2
  ) >"$2" 2>&1
}

passed=0
failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@" >>"$work/checks.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok - $name"
  else
    failed=$((failed + 1))
    echo "not ok - $name"
  fi
}
contains() { grep -qF -- "$2" "$1"; }

pids=()
xvfb_pid=""
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && timeout 20 "$wineserver" -k >/dev/null 2>&1
  for pid in "${pids[@]}"; do
    kill "$pid" >/dev/null 2>&1
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  wait >/dev/null 2>&1
}

# The end of a test: nothing left running, the tally, the exit status.
finish() {  # finish NAME
  cleanup
  trap - EXIT
  echo "$1 ($arch): $passed passed, $failed failed (details: $run)"
  [ "$failed" -eq 0 ]
}

restart_server() {
  timeout 20 "$wineserver" -k >/dev/null 2>&1
  timeout 20 "$wineserver" -w >/dev/null 2>&1
}

# A fresh prefix in RUN (emptied first) and a headless X server for it.
fresh_prefix() {  # fresh_prefix RUN
  run=$1
  rm -rf "$run"
  mkdir -p "$run"
  : >"$work/checks.log"
  trap cleanup EXIT
  export WINEPREFIX=$run/prefix WINEARCH=$arch WINEDEBUG=-all
  # No prompts for the .NET and HTML engines these tests have no use for.
  export WINEDLLOVERRIDES="mscoree=;mshtml="

  exec 8>"$run/display"
  Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp -noreset >"$run/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 8>&-
  for _ in $(seq 50); do
    [ -s "$run/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$run/display" ]; then
    banner "FAILED: Xvfb did not start (log: $run/xvfb.log)."
    exit 1
  fi
  export DISPLAY=":$(head -1 "$run/display")"

  timeout 180 "$wine" wineboot --init >"$run/wineboot.log" 2>&1
  # An OLE client started right after the first boot stalls for seconds unless the server restarts.
  restart_server
  check "wine prefix created ($arch)" test -d "$WINEPREFIX/drive_c/windows"
}

wine_path() { echo "Z:${1//\//\\}"; }

# The virtual LCD on a new pty, recording into RUN/NAME.rec; sets pty and lcd_pid.
start_lcd() {  # start_lcd NAME
  "$lcd" --dump --record "$run/$1.rec" >"$run/$1.lcd" 2>"$run/$1.lcd.err" &
  lcd_pid=$!
  pids+=("$lcd_pid")
  for _ in $(seq 50); do
    [ -s "$run/$1.lcd" ] && break
    sleep 0.1
  done
  pty=$(head -1 "$run/$1.lcd")
}
stop_lcd() {  # the glass and fault counts land in NAME.lcd
  kill -INT "$lcd_pid" >/dev/null 2>&1
  wait "$lcd_pid" >/dev/null 2>&1
}
bytes_of() { awk '!/^#/ && NF == 2 { print $2 }' "$1"; }
# What the LCD shows after the first N bytes of a recording: the glass, the counts, the contrast.
glass_after() {  # glass_after REC N OUT
  awk -v n="$2" '/^#/ || NF != 2 { print; next } { if (++k <= n) print }' "$1" >"$3.rec"
  "$lcd" --replay "$3.rec" --dump >"$3"
}
glass_is() {  # glass_is FILE LINE1 LINE2 LINE3 LINE4 (each padded to 27 columns)
  local file=$1
  shift
  printf '%-27s\n%-27s\n%-27s\n%-27s\n' "$@" | diff - <(head -4 "$file")
}

# A .reg file's head, and COM1 wired to the LCD's pty (COM2 to nowhere); regedit imports it.
# Wine reads its port map when its server starts, so the server restarts afterwards.
reg_header() { printf 'REGEDIT4\r\n\r\n'; }
reg_ports() {
  printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n"COM1"="%s"\r\n"COM2"="/nonexistent/marqel-com2"\r\n\r\n' \
    "$pty"
}
import_reg() {  # import_reg FILE
  timeout 60 "$wine" regedit /S "$(wine_path "$1")" >>"$run/reg.log" 2>&1
  restart_server
}

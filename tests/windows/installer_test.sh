#!/usr/bin/env bash
# End-to-end test of the Windows installer under Wine. In a fresh prefix with a player folder
# recorded in the registry as the player records it, the installer runs silently; the test
# player then loads the installed wrapper and drives the plug-in against the virtual LCD on
# COM1, while a second installer and the uninstaller are turned away; the uninstaller (taken
# from the uninstall entry) then removes our files and the class and keeps the settings. A second
# round installs into the folder given with /D= and removes the settings with /REMOVESETTINGS.
#
#   installer_test.sh --source DIR --work DIR --lcd MARQEL_LCD --version X.Y.Z
#
# Exit status: 0 all checks passed, 1 a check failed, 77 skipped (Wine is not installed).
set -uo pipefail

source_dir=""
work=""
lcd=""
version=""
while [ $# -gt 0 ]; do
  case "$1" in
    --source) source_dir=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --lcd) lcd=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    *) echo "installer_test: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$source_dir" ] || [ -z "$work" ] || [ -z "$lcd" ] || [ -z "$version" ]; then
  echo "usage: installer_test.sh --source DIR --work DIR --lcd MARQEL_LCD --version X.Y.Z" >&2
  exit 2
fi
# shellcheck source-path=SCRIPTDIR source=wine_helpers.sh
source "$source_dir/tests/windows/wine_helpers.sh"
mkdir -p "$work"

pick_wine "Windows installer"
phase "building the $preset preset"
if ! build_preset "$preset" "$work/build-$preset.log"; then
  tail -40 "$work/build-$preset.log"
  banner "FAILED: the $preset build failed (log: $work/build-$preset.log)." \
         "Are the cross compiler and NSIS installed? Run scripts/setup-windows."
  exit 1
fi
bin=$source_dir/build/$preset/windows
suffix=""
[ "$arch" = win64 ] && suffix=-x64
installer=$bin/installer/marqel-setup-$version$suffix.exe
if [ ! -f "$installer" ]; then
  banner "FAILED: the $preset build made no installer ($installer)." \
         "Is makensis installed? Run scripts/setup-windows."
  exit 1
fi
fresh_prefix "$work/run"
if [ "$arch" = win64 ]; then
  shipped=$source_dir/build/windows/windows/installer/marqel-setup-$version.exe
  build_preset windows "$work/build-windows.log"
  check "the shipped installer is built, 32-bit (not run here)" \
    bash -c "i686-w64-mingw32-objdump -f '$shipped' | grep -q 'file format pei-i386'"
fi

# --- a player folder, recorded as the player records it -------------------------------------------
drive=$WINEPREFIX/drive_c
player_dir="$drive/Program Files/Player"
mkdir -p "$player_dir/Plugins" "$drive/Decoy"
cp "$bin/testplayer/marqel-testplayer.exe" "$player_dir/"
echo "another plug-in" >"$player_dir/Plugins/gen_other.dll"
cp "$source_dir/tests/windows/scenarios/installed.txt" "$run/"
clsid='{7A56BC4E-24B3-4DBB-BED7-2F13F7D19F22}'
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marqel'
start_lcd session
# The player's own record names the folder; its uninstall entry, looked at later, a decoy.
{
  reg_header
  reg_ports
  printf '[HKEY_CURRENT_USER\\Software\\Winamp]\r\n@="C:\\\\Program Files\\\\Player"\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp]\r\n'
  printf '"UninstallString"="\\"C:\\\\Decoy\\\\UninstWA.exe\\""\r\n'
} >"$run/player.reg"
import_reg "$run/player.reg"

setup() { timeout 120 "$wine" "$(wine_path "$installer")" "$@" >>"$run/setup.log" 2>&1; }
view=()  # the registry view the installer writes, where it differs from that of wine's reg
class_server() {
  timeout 60 "$wine" reg query "HKCR\\CLSID\\$clsid\\InprocServer32" "${view[@]}" 2>&1 | tr -d '\r'
}
installed_as_built() {  # installed_as_built PLUGINS_DIR
  cmp "$bin/module/Marqel.dll" "$1/Marqel.dll" && cmp "$bin/wrapper/gen_marqel_wrap.dll" \
    "$1/gen_marqel_wrap.dll" && test -f "$1/Marqel-uninstall.exe"
}
listing_is() {  # listing_is DIR NAME...: exactly these files are in DIR
  diff <([ $# -gt 1 ] && printf '%s\n' "${@:2}" | sort) <(ls -A "$1" | sort)
}
absent() { ! "$@"; }
# Runs the uninstall entry's quiet command line, and waits until its copy in the temporary
# folder (which does the work) has finished.
quiet_uninstall() {  # quiet_uninstall EXTRA_OPTION...
  local line exe options
  line=$(timeout 60 "$wine" reg query "$entry" /v QuietUninstallString "${view[@]}" 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
  exe=${line#\"}
  exe=${exe%%\"*}
  options=${line#"\"$exe\""}
  # shellcheck disable=SC2086  # the options after the program, as the entry gives them
  timeout 60 "$wine" "$exe" $options "$@" >>"$run/uninstall.log" 2>&1
  timeout 120 "$wineserver" -w
}

# --- 1. silent install, into the folder the player recorded -----------------------------------------
phase "silent install"
setup /S
check "silent install succeeds" test $? -eq 0
check "our files went into the recorded folder's Plugins" installed_as_built "$player_dir/Plugins"
check "the decoy folder got nothing" listing_is "$drive/Decoy"
class_server >"$run/class.txt"
check "the class names the installed Marqel.dll" \
  contains "$run/class.txt" 'C:\Program Files\Player\Plugins\Marqel.dll'
genlib='HKCR\TypeLib\{B1350BE9-C458-435C-8B7C-74D05FCBA8DD}'
timeout 60 "$wine" reg query "$genlib" /s >"$run/genlib.txt" 2>&1
check "the wrapper's type library names the installed wrapper" \
  contains "$run/genlib.txt" 'C:\Program Files\Player\Plugins\gen_marqel_wrap.dll'
timeout 60 "$wine" reg query "$entry" 2>&1 | tr -d '\r' | sed -E 's/^ +//; s/ +/ /g' >"$run/entry.txt"
uninstaller='"C:\Program Files\Player\Plugins\Marqel-uninstall.exe"'
expected_kb=$((($(stat -c %s "$bin/module/Marqel.dll") + $(stat -c %s "$bin/wrapper/gen_marqel_wrap.dll")) / 1024))
entry_complete() {
  printf '%s\n' "DisplayName REG_SZ Marqel LCD plug-in for Winamp" "DisplayVersion REG_SZ $version" \
    "Publisher REG_SZ Tolvane" "UninstallString REG_SZ $uninstaller" \
    "QuietUninstallString REG_SZ $uninstaller /S" \
    "InstallLocation REG_SZ C:\\Program Files\\Player\\Plugins" \
    "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1" | grep -vxFf "$run/entry.txt" && return 1
  local size
  size=$(sed -n 's/^EstimatedSize REG_DWORD //p' "$run/entry.txt")
  echo "EstimatedSize $((size)) KB, the DLLs $expected_kb KB"
  [ $((size)) -ge $((expected_kb - 2)) ] && [ $((size)) -le $((expected_kb + 2)) ]
}
check "the uninstall entry for Apps & features" entry_complete

# --- 2. the player uses it; meanwhile installer and uninstaller are turned away -----------------------
phase "the player"
printf ' 1 \r\n 42 \r\n' >"$player_dir/Plugins/gen_marqel.ini"
log=$run/session.player.log
: >"$log"
timeout 180 "$wine" 'C:\Program Files\Player\marqel-testplayer.exe' \
  'C:\Program Files\Player\Plugins\gen_marqel_wrap.dll' "$(wine_path "$run/installed.txt")" \
  "$(wine_path "$log")" --hold 90000 >"$run/session.wine.out" 2>&1 &
player_pid=$!
pids+=("$player_pid")
# Waits until the player holds still at snapshot NAME, and keeps how many bytes reached the LCD.
await_snapshot() {  # await_snapshot NAME
  for _ in $(seq 600); do
    grep -q "^snapshot $1" "$log" && break
    kill -0 "$player_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  sleep 0.3  # the last bytes reach the LCD
  bytes_of "$run/session.rec" | wc -l >"$run/session.at-$1"
}
# While the player holds still: a second installer and the uninstaller (run in place, for its
# exit status: wine quotes an argument with blanks, and _?= must come unquoted, so in words).
# While idle the installer aims at another folder, so that only the player's window can stop it;
# while playing, at the player's, whose Plugins hold our files in use.
refusals() {  # refusals NAME INSTALLER_OPTION...
  setup /S "${@:2}"
  echo $? >"$run/refused-setup-$1"
  timeout 60 "$wine" 'C:\Program Files\Player\Plugins\Marqel-uninstall.exe' /S '_?=C:\Program' \
    'Files\Player\Plugins' >>"$run/uninstall.log" 2>&1
  echo $? >"$run/refused-uninstall-$1"
  : >"$log.$1.ack"
}
await_snapshot idle && refusals idle '/D=C:\Elsewhere'
await_snapshot playing && refusals playing
wait "$player_pid"
restart_server
stop_lcd
ran_to_end() { grep -q '^init: 0' "$log" && grep -q '^unloaded' "$log"; }
check "the test player loaded the installed plug-in and ran to its end" ran_to_end
exit_statuses() { cat "$run/refused-$1-idle" "$run/refused-$1-playing" 2>/dev/null | tr '\n' ' '; }
check "the installer refuses (status 2) while the player runs: idle, then playing" \
  test "$(exit_statuses setup)" = "2 2 "
check "so does the uninstaller" test "$(exit_statuses uninstall)" = "2 2 "
class_server >"$run/class-after-refusals.txt"
unchanged() {
  installed_as_built "$player_dir/Plugins" && cmp "$run/class.txt" "$run/class-after-refusals.txt" &&
    test ! -e "$drive/Elsewhere"
}
check "the refused runs changed nothing" unchanged
glass_check() {  # glass_check SNAPSHOT DESCRIPTION LINE1..LINE4
  local shot=$1 what=$2
  shift 2
  if [ -s "$run/session.at-$shot" ]; then
    glass_after "$run/session.rec" "$(cat "$run/session.at-$shot")" "$run/glass-$shot.txt"
    check "glass $what" glass_is "$run/glass-$shot.txt" "$@"
  else
    check "glass $what (no snapshot taken)" false
  fi
}
glass_check idle "after the start-up: blank" "" "" "" ""
check "the start-up set the saved contrast 42" contains "$run/glass-idle.txt" 'contrast: 42'
glass_check playing "while a track plays" "SOME ARTIST" "SOME TITLE" "" "$(printf '##%25s' '')"
check "no stray bytes on the line" contains "$run/session.lcd" 'stray bytes: 0'

# --- 3. silent uninstall, as the uninstall entry says -------------------------------------------------
phase "silent uninstall"
quiet_uninstall
check "the class is unregistered" absent timeout 60 "$wine" reg query "HKCR\\CLSID\\$clsid"
check "so is the wrapper's type library" absent timeout 60 "$wine" reg query "$genlib"
check "the uninstall entry is gone" absent timeout 60 "$wine" reg query "$entry"
check "our files are gone; the settings and the other plug-in stay" \
  listing_is "$player_dir/Plugins" gen_marqel.ini gen_other.dll

# --- 4. the folder from /D=, the settings removed on request ----------------------------------------
phase "/D= and /REMOVESETTINGS"
setup /S '/D=C:\Other'
check "silent install into the folder given with /D=" test $? -eq 0
check "our files went into its Plugins" installed_as_built "$drive/Other/Plugins"
class_server >"$run/class-other.txt"
check "the class names that Marqel.dll" contains "$run/class-other.txt" 'C:\Other\Plugins\Marqel.dll'
printf ' 2 \r\n 7 \r\n' >"$drive/Other/Plugins/gen_marqel.ini"
quiet_uninstall /REMOVESETTINGS
check "/REMOVESETTINGS: the Plugins folder is left empty" listing_is "$drive/Other/Plugins"
check "the class is unregistered again" absent timeout 60 "$wine" reg query "HKCR\\CLSID\\$clsid"

# --- 5. the shipped installer on 64-bit Windows --------------------------------------------------
# The 32-bit component belongs in the 32-bit registry view, where the 32-bit player looks for it,
# registered by the 32-bit regsvr32; the player lives under "Program Files (x86)".
if [ "$arch" = win32 ] && "$wine64" --version >/dev/null 2>&1; then
  phase "on 64-bit Windows"
  export WINEPREFIX=$run/prefix64 WINEARCH=win64
  wine=$wine64
  view=(/reg:32)
  timeout 180 "$wine" wineboot --init >"$run/wineboot64.log" 2>&1
  restart_server
  mkdir -p "$WINEPREFIX/drive_c/Program Files (x86)/Player/Plugins"
  timeout 60 "$wine" reg add 'HKCU\Software\Winamp' /ve /d 'C:\Program Files (x86)\Player' /f \
    >>"$run/reg.log" 2>&1
  setup /S
  check "64-bit Windows: silent install succeeds" test $? -eq 0
  class_server >"$run/class64.txt"
  check "64-bit Windows: the class is in the 32-bit view, naming the installed DLL" \
    contains "$run/class64.txt" 'C:\Program Files (x86)\Player\Plugins\Marqel.dll'
  check "64-bit Windows: and not in the 64-bit view" \
    absent timeout 60 "$wine" reg query "HKCR\\CLSID\\$clsid" /reg:64
  quiet_uninstall
  all_gone() {
    absent timeout 60 "$wine" reg query "HKCR\\CLSID\\$clsid" /reg:32 &&
      listing_is "$WINEPREFIX/drive_c/Program Files (x86)/Player/Plugins"
  }
  check "64-bit Windows: the uninstaller unregisters it and removes our files" all_gone
elif [ "$arch" = win32 ]; then
  echo "note: no 64-bit Wine here: the installer was not tried on 64-bit Windows"
fi

finish "installer tests"

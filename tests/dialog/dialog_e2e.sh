#!/bin/bash
# The desktop dialog end to end, on a virtual X server: real mouse and keyboard events (xdotool)
# against the driver program, then the line's record, the settings file and the window geometry.
#
#   dialog_e2e.sh DRIVER ARTIFACT-DIR HOST MODULE
#
# Starts its own Xvfb (the server picks a free display and says which when it is ready; no
# authority file, so nothing depends on the host name); exits 77 (skipped) only when Xvfb is not
# installed. The server's own messages land in ARTIFACT-DIR/xvfb.log and are shown on failure.
set -u

driver=$1
artifacts=$2
host=$3
module=$4

if ! command -v Xvfb > /dev/null; then
  echo "SKIPPED: Xvfb is not installed, so there is no X server to run the dialog on"
  exit 77
fi

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect_eq() {  # what actual expected
  if [ "$2" != "$3" ]; then fail "$1: got [$2], expected [$3]"; else echo "ok: $1 = [$2]"; fi
}

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
  chmod -R u+w "$work"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$artifacts"
xvfb_log="$artifacts/xvfb.log"

show_server_log() {
  echo "--- $xvfb_log"
  cat "$xvfb_log" 2> /dev/null
  echo "---"
}

# Starts Xvfb and waits until a client can really connect; sets DISPLAY. Tries three times.
start_x_server() {
  local attempt display
  for attempt in 1 2 3; do
    : > "$work/displayfd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/displayfd" \
      2> "$xvfb_log" &
    xvfb_pid=$!
    display=""
    for _ in $(seq 100); do
      display=$(sed -n 's/^\([0-9][0-9]*\)$/\1/p' "$work/displayfd")
      [ -n "$display" ] && break
      kill -0 "$xvfb_pid" 2> /dev/null || break
      sleep 0.1
    done
    if [ -n "$display" ]; then
      for _ in $(seq 50); do
        if DISPLAY=":$display" xdpyinfo > /dev/null 2>&1; then
          export DISPLAY=":$display"
          echo "X server ready on $DISPLAY (attempt $attempt)"
          return 0
        fi
        kill -0 "$xvfb_pid" 2> /dev/null || break
        sleep 0.1
      done
    fi
    echo "attempt $attempt: no usable X server (display [${display}])"
    show_server_log
    kill "$xvfb_pid" 2> /dev/null
    wait "$xvfb_pid" 2> /dev/null
    xvfb_pid=""
  done
  return 1
}
start_x_server || { echo "FAIL: Xvfb did not start"; exit 1; }

# Positions inside the client area, in pixels (twips / 15), from the designer's table.
bar_y=104              # Contrast: top 1080+360 twips = 96 px, 17 px high
arrow_left_x=32        # its left arrow: left 24 px, 17 px wide
arrow_right_x=233      # its right arrow: left 24 px + 217 px wide, 17 px arrow
track_right_x=220      # the track's right end, right of the thumb at any value up to 123
com2=(95 40)           # COM2: left 120+1200 twips = 88 px, top 120+360 = 32 px
set_save=(80 172)      # SetSave: 24,160 px, 113 x 25
exit_button=(208 172)  # Exit: 152,160 px, 113 x 25

wait_for_window() {  # name -> window id
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1)
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}
origin_of() {  # window id -> "x y" of its client area on the screen
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}'
}
# The server is kept from resetting between clients, so the pointer stays where the last test
# left it: a key goes to a window only once it has the focus.
press_return_in() {  # window id
  xdotool windowfocus --sync "$1"
  xdotool key Return
}
click_at() {  # x y, relative to the dialog
  xdotool mousemove $((wx + $1)) $((wy + $2)) click 1
  sleep 0.4
}
hold_at() {  # x y seconds: press there, keep the button down, release
  xdotool mousemove $((wx + $1)) $((wy + $2)) mousedown 1
  sleep "$3"
  xdotool mouseup 1
  sleep 0.4
}

# ---------------------------------------------------------------------------------------------
echo "== 1: preview, port, Set & Save, Exit"
printf ' 3 \r\n 64 \r\n' > "$work/gen_marqel.ini"
timeout 60 "$driver" --dir "$work" --log "$work/log1" &
pid=$!
wid=$(wait_for_window '^Marqel configuration$')
[ -n "$wid" ] || { fail "the dialog did not appear"; show_server_log; kill $pid 2> /dev/null; exit 1; }
sleep 0.5
import -window root "$artifacts/dialog.png"

read -r wx wy < <(origin_of "$wid")
read -r sw sh < <(xdotool getdisplaygeometry)
geometry=$(xwininfo -id "$wid" | awk '/  Width:/ {w=$2} /  Height:/ {h=$2} END {print w "x" h}')
expect_eq "client area" "$geometry" "289x209"
expect_eq "centred on the screen" "$wx,$wy" "$(((sw - 289) / 2)),$(((sh - 209) / 2))"
expect_eq "caption" "$(xdotool getwindowname "$wid")" "Marqel configuration"
hints=$(xprop -id "$wid" WM_NORMAL_HINTS)
echo "$hints" | grep -q "minimum size: 289 by 209" || fail "no fixed minimum size: $hints"
echo "$hints" | grep -q "maximum size: 289 by 209" || fail "no fixed maximum size: $hints"

# Bar at 64: a click in the track right of the thumb, then one on the right arrow, then a key.
click_at 200 $bar_y
click_at $arrow_right_x $bar_y
xdotool key Right
sleep 0.4
# Drag the thumb (at 67: 24 + 17 + 92 .. +9 px) to the right in small steps: one change only.
xdotool mousemove $((wx + 137)) $((wy + bar_y)) mousedown 1
for dx in 5 10 15 20 25 30 35 40; do
  xdotool mousemove $((wx + 137 + dx)) $((wy + bar_y))
  sleep 0.05
done
sleep 0.3
xdotool mouseup 1
sleep 0.4
# Held down, the left arrow and then the track step again and again (after half a second, every
# 50 ms): each step is a move of its own.
hold_at $arrow_left_x $bar_y 1.5
hold_at $track_right_x $bar_y 1.5
# Escape is no cancel button: the dialog stays.
xdotool key Escape
sleep 0.4
[ -n "$(xdotool search --onlyvisible --name '^Marqel configuration$')" ] || fail "Escape closed the dialog"
click_at "${com2[@]}"
click_at "${set_save[@]}"
saved=$(od -An -c "$work/gen_marqel.ini" | tr -s ' ')
import -window root "$artifacts/dialog-saved.png"
click_at "${exit_button[@]}"
wait $pid
expect_eq "driver exit status" "$?" "0"

cat "$work/log1"
dialog=$(sed -n 's/^dialog: //p' "$work/log1")
settings=$(sed -n 's/^settings: //p' "$work/log1")
contrast=$(echo "$settings" | sed -n 's/.*contrast=\([0-9]*\).*/\1/p')
[ -n "$contrast" ] || contrast=0
# Load, track click, arrow click, key, the drag's release; then the holds, one byte a step (down
# by the left arrow, up by the track); then Set & Save.
read -r -a sent <<< "$dialog"
expect_eq "the line up to the drag" "${sent[*]:0:4}" "C0 C1 C2 C3"
drag=0
[[ ${sent[4]:-} =~ ^[0-9A-F]{2}$ ]] && drag=$((16#${sent[4]} - 128))
[ "$drag" -gt 75 ] && [ "$drag" -lt 110 ] || fail "the drag ended at $drag"
at=5 value=$drag down=0 up=0
while [[ ${sent[at]:-} =~ ^[0-9A-F]{2}$ ]] && [ $((16#${sent[at]} - 128)) -eq $((value - 1)) ]; do
  value=$((value - 1)) down=$((down + 1)) at=$((at + 1))
done
while [[ ${sent[at]:-} =~ ^[0-9A-F]{2}$ ]] && [ $((16#${sent[at]} - 128)) -eq $((value + 1)) ]; do
  value=$((value + 1)) up=$((up + 1)) at=$((at + 1))
done
[ "$down" -ge 2 ] || fail "holding the left arrow sent $down byte(s) one step apart"
[ "$up" -ge 2 ] || fail "holding the track sent $up byte(s) one step apart"
echo "holds: $down steps down, $up steps up"
saved_byte=$(printf '%02X' $((128 + contrast)))
expect_eq "the line after the holds" "${sent[*]:at}" \
  "close port=2 open(2) $saved_byte drain wait(2) $saved_byte"
expect_eq "the contrast saved is where the holds left the bar" "$contrast" "$value"
expect_eq "the settings file" "$(od -An -tx1 "$work/gen_marqel.ini" | tr -d ' \n')" \
  "$(printf ' 2 \r\n %d \r\n' "$contrast" | od -An -tx1 | tr -d ' \n')"
echo "$settings" | grep -q "^port=2 contrast=$contrast ticks=" || fail "settings: $settings"
ticks=$(echo "$settings" | sed -n 's/.*ticks=\([0-9]*\).*/\1/p')
[ "${ticks:-0}" -ge 2 ] || fail "refresh ticks while the dialog was open: ${ticks:-none}"
echo "file after Set & Save: $saved"

# ---------------------------------------------------------------------------------------------
echo "== 2: no settings file, a port in use, the window's own close"
rm -f "$work/gen_marqel.ini"
timeout 60 "$driver" --dir "$work" --log "$work/log2" --held 2 &
pid=$!
notice=$(wait_for_window '^Marqel$')
[ -n "$notice" ] || { fail "the missing-file notice did not appear"; show_server_log; kill $pid 2> /dev/null; exit 1; }
sleep 0.5
import -window root "$artifacts/notice.png"
press_return_in "$notice"
wid=$(wait_for_window '^Marqel configuration$')
[ -n "$wid" ] || { fail "the dialog did not appear"; show_server_log; kill $pid 2> /dev/null; exit 1; }
sleep 0.5
read -r wx wy < <(origin_of "$wid")
click_at "${com2[@]}"
click_at "${set_save[@]}"
failure=$(wait_for_window '^Marqel$')
[ -n "$failure" ] || fail "no failure message"
sleep 0.5
import -window root "$artifacts/failure.png"
press_return_in "$failure"
sleep 0.5
"$driver" close-window "$wid"
wait $pid
expect_eq "driver exit status" "$?" "0"

cat "$work/log2"
expect_eq "start-up" "$(sed -n 's/^startup: //p' "$work/log2")" \
  "msgbox:information:No settings file found. Please set the options for this plugin in winamp's general purpose plugins list and click \"Set & Save\"!"
expect_eq "the line while the dialog was open" "$(sed -n 's/^dialog: //p' "$work/log2")" \
  "close port=2 msgbox:warning:Error: COM2: port in use by another program|Settings: Port[2] Contrast[0]"
[ -e "$work/gen_marqel.ini" ] && fail "a settings file was written"

# ---------------------------------------------------------------------------------------------
echo "== 3: marqel-host's own message box is a window"
mkdir -p "$work/host"
cp "$module" "$work/host/Marqel.so"
XDG_CONFIG_HOME="$work/host" "$host" run --player sim --plugin "$work/host/Marqel.so" \
  --com 1=/dev/null < /dev/null > "$work/host.out" 2> "$work/host.err" &
pid=$!
notice=$(wait_for_window '^Marqel$')
[ -n "$notice" ] || fail "the host's missing-file notice did not appear as a window"
grep -q "marqel-desktop.so" "/proc/$pid/maps" || fail "the desktop module is not loaded"
kill -TERM $pid
# The quit takes effect once the boxes (this one, then the port's failure on /dev/null) are
# dismissed.
for _ in $(seq 50); do
  kill -0 $pid 2> /dev/null || break
  box=$(xdotool search --onlyvisible --name '^Marqel$' 2> /dev/null | head -1)
  [ -n "$box" ] && press_return_in "$box"
  sleep 0.2
done
kill -0 $pid 2> /dev/null && { fail "the host did not quit"; kill -KILL $pid; }
wait $pid
expect_eq "host exit status" "$?" "0"
grep -q "^\[marqel\] message" "$work/host.err" && fail "a message went to standard error: $(cat "$work/host.err")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed; screenshots in $artifacts"

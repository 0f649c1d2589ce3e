#!/bin/bash
# Screenshots of every window under a real X server: Xvfb with a window manager, the
# window gallery for each window in a telling state at scale 1 and 2, in a light and a
# dark theme, in English and in Polish (the shipped lang.lng), and the program itself
# (main window, the Test command's progress window against a silent register, the About
# box) driven by keys. Writes PNGs and titles.txt (each window's title and geometry as
# the window manager sees it, and whether its frame lies inside the screen).
#
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR] [HOME_DIR]
#
# HOME_DIR, when given, is copied as the program directory (SYSTEM.CFG, lang.lng, data/),
# so translated windows can be looked at; otherwise a fresh temporary one is used.
# SCREEN (default 1366x768x24), SCALES (default "1 2"), WINDOWS (the gallery's windows,
# default all) and WM (default openbox) can be set in the environment.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=${2:-$BUILD/screenshots}
SCREEN=${SCREEN:-1366x768x24}
SCALES=${SCALES:-1 2}
WINDOWS=${WINDOWS:-main progress progress-error progress-readonly range-z range-date comm about burn burn-cancel \
audit question open-dialog print-dialog}
SCREEN_W=${SCREEN%%x*}
SCREEN_H=${SCREEN#*x}; SCREEN_H=${SCREEN_H%%x*}
WM=${WM:-openbox}

"$ROOT/scripts/install-deps.sh" xvfb x11-apps x11-utils imagemagick xdotool wmctrl "$WM" fonts-liberation
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

HOME_DIR=$WORK/home
mkdir -p "$HOME_DIR"
if [ $# -ge 3 ]; then cp -r "$3"/. "$HOME_DIR"/; fi

# A free display number.
DISPLAY_NUMBER=90
while [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] || [ -e "/tmp/.X$DISPLAY_NUMBER-lock" ]; do
    DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
done
export DISPLAY=:$DISPLAY_NUMBER
Xvfb "$DISPLAY" -screen 0 "$SCREEN" -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$WM" >"$WORK/wm.log" 2>&1 &
PIDS+=($!)
sleep 1
export QT_QPA_PLATFORM=xcb
: >"$OUT/titles.txt"

# Waits until process $1 shows a window other than $2 (titles may be translated, so
# windows are found by their process); prints its id.
wait_window() {
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
            if [ "$id" != "${2:-}" ] && xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable" &&
               [ "$(xwininfo -id "$id" | awk '/Width:/{print $2}')" -gt 50 ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    echo "process $1 shows no new window" >&2
    return 1
}

# The frame of window $1 (the window manager's parent of the client) as x y w h.
frame_of() {
    local id=$1 parent
    parent=$(xwininfo -children -id "$id" 2>/dev/null | awk '/Parent window id:/{print $4}')
    [ -n "$parent" ] && [ "$parent" != "$(xwininfo -root | awk '/Window id:/{print $4}')" ] && id=$parent
    xwininfo -id "$id" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# Shoots the whole screen into $1.png and notes the title of window $2, its frame and
# whether the frame lies inside the screen.
shoot() {
    sleep 0.7
    import -window root "$OUT/$1.png"
    read -r fx fy fw fh <<<"$(frame_of "$2")"
    local inside=inside
    if [ "$fx" -lt 0 ] || [ "$fy" -lt 0 ] || [ $((fx + fw)) -gt "$SCREEN_W" ] || [ $((fy + fh)) -gt "$SCREEN_H" ]; then
        inside=OFF-SCREEN
    fi
    echo "$1: $(xprop -id "$2" _NET_WM_NAME 2>/dev/null | sed 's/^[^=]*= //') frame ${fw}x${fh}+${fx}+${fy} $inside" >>"$OUT/titles.txt"
}

# The homes of the two languages: English without language files, Polish with the
# shipped lang.lng.
mkdir -p "$WORK/home-en" "$WORK/home-pl"
cp -r "$HOME_DIR"/. "$WORK/home-en"/
cp -r "$HOME_DIR"/. "$WORK/home-pl"/
cp "$ROOT/lang/pl/lang.lng" "$WORK/home-pl/lang.lng"

# The window gallery: one window at a time, in a state that shows its longest texts.
for scale in $SCALES; do
  for theme in light dark; do
    for language in en pl; do
      for window in $WINDOWS; do
        dark=; [ "$theme" = dark ] && dark=--dark
        QT_SCALE_FACTOR=$scale "$BUILD/window_gallery" $dark --home "$WORK/home-$language" "$window" \
            >"$WORK/gallery.out" 2>>"$WORK/gallery.log" &
        pid=$!
        for _ in $(seq 100); do grep -q ready "$WORK/gallery.out" 2>/dev/null && break; sleep 0.1; done
        id=$(awk '/^ready/{print $2}' "$WORK/gallery.out")
        [ -n "$id" ] && shoot "gallery-$window-${scale}x-$theme-$language" "$id"
        kill "$pid"; wait "$pid" 2>/dev/null || true
      done
    done
  done
done

# The program itself, its COM2 on a register that never answers, driven by the menus'
# English mnemonics (so without the language files; the gallery above shows those).
mkfifo "$WORK/ecrsim.in"
"$BUILD/ecrsim" --silent --stop-with-stdin <"$WORK/ecrsim.in" >"$WORK/ecrsim.out" 2>/dev/null &
PIDS+=($!)
exec 3>"$WORK/ecrsim.in"  # the simulator runs until this closes
for _ in $(seq 50); do [ -s "$WORK/ecrsim.out" ] && break; sleep 0.1; done
PTY=$(head -1 "$WORK/ecrsim.out")
PROGRAM_HOME=$WORK/program
mkdir -p "$PROGRAM_HOME"
printf '[Comm]\r\nPort=2\r\nBaudRate=0\r\n[Ports]\r\nCOM2=%s\r\n' "$PTY" >"$PROGRAM_HOME/SYSTEM.CFG"
"$BUILD/vobrelfm" --home "$PROGRAM_HOME" 2>>"$WORK/program.log" &
PROGRAM=$!
PIDS+=($PROGRAM)
main=$(wait_window "$PROGRAM")
shoot program-main "$main"

# Runs the Test menu item (Communication, then its only item).
run_test() {
    xdotool windowactivate --sync "$main" key alt+c
    sleep 0.5
    xdotool key Return
}

# Test: the progress window while connecting, then its error; the window manager's close
# button then ends the command as OK does (the port closes and DEBUG.LOG is written).
run_test
progress=$(wait_window "$PROGRAM" "$main")
shoot program-test-connecting "$progress"
sleep 9  # ten handshake attempts of 0.8 s
shoot program-test-error "$progress"
rm -f "$PROGRAM_HOME/DEBUG.LOG"
wmctrl -i -c "$progress"
sleep 1
echo "closed from the title bar in the error state: DEBUG.LOG $( [ -s "$PROGRAM_HOME/DEBUG.LOG" ] && echo written || echo MISSING)" >>"$OUT/titles.txt"

# Test again, closed from the title bar while connecting: acts as Cancel.
rm -f "$PROGRAM_HOME/DEBUG.LOG"
run_test
progress=$(wait_window "$PROGRAM" "$main")
sleep 1
wmctrl -i -c "$progress"
sleep 1
echo "closed from the title bar while connecting: DEBUG.LOG $( [ -s "$PROGRAM_HOME/DEBUG.LOG" ] && echo written || echo MISSING), progress window $(xwininfo -id "$progress" 2>/dev/null | grep -q IsViewable && echo STILL SHOWN || echo gone)" >>"$OUT/titles.txt"

xdotool windowactivate --sync "$main" key alt+h a
about=$(wait_window "$PROGRAM" "$main")
shoot program-about "$about"
xdotool key Escape
kill "$PROGRAM" 2>/dev/null || true

# Port "None": the open error names no device.
mkdir -p "$WORK/none"
printf '[Comm]\r\nPort=0\r\n' >"$WORK/none/SYSTEM.CFG"
"$BUILD/vobrelfm" --home "$WORK/none" 2>>"$WORK/program.log" &
PROGRAM=$!
PIDS+=($PROGRAM)
main=$(wait_window "$PROGRAM")
run_test
box=$(wait_window "$PROGRAM" "$main")
shoot program-port-none "$box"
kill "$PROGRAM" 2>/dev/null || true
exec 3>&-
echo "screenshots in $OUT"
cat "$OUT/titles.txt"

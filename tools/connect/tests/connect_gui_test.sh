#!/usr/bin/env bash
# connect_gui_test.sh CASE BIN_FOLDER ARTIFACTS_FOLDER
# The real window program, tidewatcher-connect, end to end on an Xvfb display of
# its own, driven with xdotool the way a person would drive it.
#   screenshots  the collapsed and the expanded window, kept as PNGs
#   no-display   no display to open: a message on standard error, a non-zero exit
#   launch       Start launches the reference viewer against tidewatcher-sim; the
#                window hides while the viewer runs and comes back when it ends
#
# The launcher sweeps subnets and sends broadcasts, so this runs only inside the
# private network namespace of scripts/test (loopback its only link). It exits 77
# (skipped), saying why, outside one or without the display tools.
set -u
case_name=${1:-}
bin=${2:-}
artifacts=${3:-}
[ -n "$case_name" ] && [ -d "$bin" ] && [ -n "$artifacts" ] ||
  { echo "usage: connect_gui_test.sh screenshots|no-display|launch BIN_FOLDER ARTIFACTS_FOLDER" >&2; exit 2; }

skip() { echo "SKIPPED: $*"; exit 77; }
fail() {
  echo "FAIL: $*"
  for log in "$scratch"/*.out "$scratch"/*.err "$scratch"/*.txt; do
    [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 30 "$log"; }
  done
  exit 1
}

if ! ip -o link show >/dev/null 2>&1; then skip "ip (iproute2) is not usable here"; fi
links=$(ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' | grep -v '^lo$' || true)
[ -z "$links" ] || skip "a network link other than lo is present ($(echo $links)); run inside scripts/test's private namespace"

# Every wait is bounded by this many seconds.
readonly wait_limit=20
# The main dialog's caption; xdotool takes --name as a regular expression.
readonly main_caption='^Tidewatcher Connect$'

scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Nothing of ours may be found or held outside the scratch folder: named mutexes
# live under XDG_RUNTIME_DIR, and discovery sweeps only an unused loopback /30.
export XDG_RUNTIME_DIR=$scratch
export TIDEWATCHER_SUBNETS=127.0.9.1/30
chmod 700 "$scratch"

# A launcher folder of its own: LOGIN.DAT and the version folders go beside the
# program, never into the build's bin folder.
launcher=$scratch/launcher
mkdir -p "$launcher"
cp "$bin/tidewatcher-connect" "$launcher/" || fail "no tidewatcher-connect in $bin"

# Polls COMMAND every 0.1 s until it succeeds; false after wait_limit seconds.
wait_until() {
  local deadline=$((SECONDS + wait_limit))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

start_display() {
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is missing (packages xvfb, xdotool; scripts/setup installs them)"
  done
  # Xvfb picks a free display itself and writes its number once it accepts clients.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$scratch/display.number" 2>"$scratch/xvfb.err" &
  pids+=($!)
  wait_until grep -q '^[0-9]' "$scratch/display.number" || fail "Xvfb did not report a display"
  export DISPLAY=":$(head -n1 "$scratch/display.number")"
}

# Starts the launcher from the scratch folder with the given command line.
connect_pid=""
start_connect() {
  (cd "$scratch" && exec "$launcher/tidewatcher-connect" "$@") >"$scratch/connect.out" 2>"$scratch/connect.err" &
  connect_pid=$!
  pids+=($connect_pid)
}

# The id of the shown main window, waiting for it; empty when none comes.
visible_main_window() {
  timeout "$wait_limit" xdotool search --sync --onlyvisible --name "$main_caption" 2>/dev/null | head -n1
}
main_window_hidden() { ! xdotool search --onlyvisible --name "$main_caption" >/dev/null 2>&1; }

window_height() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^HEIGHT=//p'; }
# True when WINDOW's height compares with VALUE by OP (-gt, -eq, ...).
height_compares() { [ "$(window_height "$1")" "$2" "$3" ] 2>/dev/null; }
window_width() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^WIDTH=//p'; }

# Layout conversion of the dialog templates: dialog units to pixels at 96 dpi.
du_x() { echo $((($1 * 6 + 2) / 4)); }
du_y() { echo $((($1 * 13 + 4) / 8)); }

# Clicks the middle of the control at dialog units X Y W H of WINDOW. There is no
# window manager: the pointer goes over the window first, then clicks.
click_control() {
  local window=$1 x=$2 y=$3 w=$4 h=$5
  local left right top bottom
  left=$(du_x "$x"); right=$(du_x $((x + w))); top=$(du_y "$y"); bottom=$(du_y $((y + h)))
  local px=$(((left + right) / 2)) py=$(((top + bottom) / 2))
  xdotool mousemove --window "$window" 5 5 sleep 0.2 mousemove --window "$window" "$px" "$py" sleep 0.2 click 1
}

# Waits until the process ends; its exit status, or 124 when it does not end in time.
wait_exit() {
  local pid=$1 deadline=$((SECONDS + wait_limit))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || return 124
    sleep 0.1
  done
  wait "$pid"
}

need_imagemagick() {
  # Debian's ImageMagick by its full path: a `convert` earlier on PATH may be another program.
  for tool in /usr/bin/import /usr/bin/convert; do
    [ -x "$tool" ] || skip "$tool is missing (package imagemagick; scripts/setup installs it)"
  done
}
colours() { /usr/bin/convert "$1" -format %k info:; }
png_height() { /usr/bin/convert "$1" -format %h info:; }
png_width() { /usr/bin/convert "$1" -format %w info:; }
# A window that drew itself shows its artwork, gradient and controls; an unpainted
# or black one shows a handful of colours at most.
readonly min_colours=64

# Takes a PNG of WINDOW into the artifacts folder, once it has painted.
shoot() {
  local window=$1 name=$2
  mkdir -p "$artifacts"
  /usr/bin/import -window "$window" "$artifacts/$name" 2>>"$scratch/import.err" || fail "cannot capture $name"
}

case_screenshots() {
  need_imagemagick
  start_display
  start_connect
  local window
  window=$(visible_main_window)
  [ -n "$window" ] || fail "no main window appeared"
  sleep 0.5

  # A fresh launcher folder has no LOGIN.DAT: the window opens collapsed.
  local collapsed_height width
  collapsed_height=$(window_height "$window")
  width=$(window_width "$window")
  # Xvfb reports 96 dpi or less, so the layout is not scaled: 290 dialog units wide.
  [ "$width" = "$(du_x 290)" ] || fail "the window is $width px wide, the layout $(du_x 290)"
  shoot "$window" connect-collapsed.png

  # Options >> (197,225,87,19) lies inside the collapsed window.
  click_control "$window" 197 225 87 19
  wait_until height_compares "$window" -gt "$collapsed_height" ||
    fail "the window stayed $collapsed_height px high after Options >>"
  sleep 0.5
  local expanded_height
  expanded_height=$(window_height "$window")
  shoot "$window" connect-expanded.png

  local collapsed=$artifacts/connect-collapsed.png expanded=$artifacts/connect-expanded.png
  local c e
  c=$(colours "$collapsed"); e=$(colours "$expanded")
  [ "$c" -gt $min_colours ] || fail "the collapsed picture has only $c colours: $collapsed"
  [ "$e" -gt $min_colours ] || fail "the expanded picture has only $e colours: $expanded"
  [ "$(png_height "$collapsed")" = "$collapsed_height" ] || fail "the collapsed picture is not the whole window"
  [ "$(png_height "$expanded")" = "$expanded_height" ] || fail "the expanded picture is not the whole window"
  [ "$(png_width "$expanded")" = "$width" ] || fail "expanding changed the width"
  # Collapsed, the window ends just below Options; expanded, just below the Local
  # Systems list (bottom at 297 dialog units): the difference is the layout's.
  local grown=$((expanded_height - collapsed_height)) expected=$(($(du_y 297) - $(du_y 244)))
  [ "$grown" = "$expected" ] || fail "expanding added $grown px, the layout $expected px"

  # Options << collapses it again.
  click_control "$window" 197 225 87 19
  wait_until height_compares "$window" -eq "$collapsed_height" ||
    fail "Options << left the window $(window_height "$window") px high"

  xdotool mousemove --window "$window" 20 20 key Escape
  local status=0
  wait_exit "$connect_pid" || status=$?
  [ $status = 0 ] || fail "Escape: the launcher ended with status $status"
  echo "collapsed: $collapsed ($c colours, ${collapsed_height} px high)"
  echo "expanded:  $expanded ($e colours, ${expanded_height} px high)"
}

# One row: the environment's DISPLAY (unset or a display nobody serves).
no_display_row() {
  local label=$1
  shift
  (cd "$scratch" && exec env "$@" "$launcher/tidewatcher-connect" /USER:127.0.3.5) \
    >"$scratch/nodisplay.out" 2>"$scratch/nodisplay.err" </dev/null &
  local pid=$! status=0
  wait_exit "$pid" || status=$?
  [ $status != 124 ] || { kill "$pid"; fail "$label: still running without a display"; }
  [ $status != 0 ] || fail "$label: exit status 0 without a display"
  [ $status -lt 128 ] || fail "$label: ended by signal $((status - 128))"
  grep -q '^tidewatcher-connect: .' "$scratch/nodisplay.err" ||
    fail "$label: no message on standard error: $(cat "$scratch/nodisplay.err")"
  [ -z "$(ls "$launcher" | grep -v '^tidewatcher-connect$')" ] || fail "$label: left files in the launcher folder"
  echo "$label: exit $status, $(head -n1 "$scratch/nodisplay.err")"
}

case_no_display() {
  no_display_row "DISPLAY unset" -u DISPLAY
  # Display 4095 of this host: no server there (nothing listens inside the namespace).
  no_display_row "DISPLAY :4095" DISPLAY=:4095
}

# Presses Start in WINDOW and follows the viewer's run number RUN: the window
# hides, the viewer gets a working session, and the window is back once it ends.
# SCREEN, when given, receives a picture of the whole screen during the run.
launch_viewer() {
  local window=$1 run=$2 screen=$3
  # Start Tidewatcher (197,203,87,19).
  click_control "$window" 197 203 87 19
  wait_until main_window_hidden || fail "run $run: the main window stayed shown after Start"
  wait_until reported "$run" '^tidewatcher-client: system 127.0.3.5$' ||
    fail "run $run: the viewer got no working session"
  reported "$run" '^tidewatcher-client: program viewer$' ||
    fail "run $run: the started client is not the viewer"
  # While the viewer runs the launcher's window stays away.
  main_window_hidden || fail "run $run: the main window came back while the viewer runs"
  if [ -n "$screen" ]; then
    mkdir -p "$artifacts"
    /usr/bin/import -window root "$screen" 2>>"$scratch/import.err" || true
  fi
  wait_until reported "$run" '^tidewatcher-client: end ' || fail "run $run: the viewer did not end"
  [ -n "$(visible_main_window)" ] || fail "run $run: the main window did not come back after the viewer ended"
  kill -0 "$connect_pid" 2>/dev/null || fail "run $run: the launcher ended with the viewer"
}
# True when the viewers' report has at least COUNT lines matching PATTERN.
reported() {
  local count=$1 pattern=$2
  [ -f "$scratch/client.txt" ] && [ "$(grep -c "$pattern" "$scratch/client.txt")" -ge "$count" ]
}

sim_listening() { [ -n "$(ss -Hltn src 127.0.3.5:80 2>/dev/null)" ]; }

case_launch() {
  start_display
  [ -x "$bin/tidewatcher-sim" ] || fail "no tidewatcher-sim in $bin"
  [ -x "$bin/5_2_738_0/CLEARSLATE.EXE" ] || fail "no reference client in $bin/5_2_738_0"
  mkdir -p "$launcher/5_2_738_0"
  cp "$bin"/5_2_738_0/* "$launcher/5_2_738_0/"

  # The typed address is the system's name, so the name check passes.
  "$bin/tidewatcher-sim" --bind 127.0.3.5 --port 80 --name 127.0.3.5 --no-discovery \
    >"$scratch/sim.out" 2>"$scratch/sim.err" &
  pids+=($!)
  wait_until sim_listening || fail "tidewatcher-sim does not listen on 127.0.3.5:80"

  export TIDEWATCHER_CLIENT_EXIT_AFTER_MS=4000
  export TIDEWATCHER_CLIENT_REPORT=$scratch/client.txt
  start_connect /USER:127.0.3.5 /PASS:secret
  local window
  window=$(visible_main_window)
  [ -n "$window" ] || fail "no main window appeared"
  sleep 0.5

  launch_viewer "$window" 1 "$artifacts/connect-launch-screen.png"
  [ -s "$launcher/LOGIN.DAT" ] || fail "the launch wrote no LOGIN.DAT beside the launcher"
  # Back means usable: Start launches again.
  sleep 1
  window=$(visible_main_window)
  launch_viewer "$window" 2 ""

  window=$(visible_main_window)
  xdotool mousemove --window "$window" 20 20 key Escape
  local status=0
  wait_exit "$connect_pid" || status=$?
  [ $status = 0 ] || fail "Escape: the launcher ended with status $status"
  echo "launched the viewer twice; screen during the first run: $artifacts/connect-launch-screen.png"
}

case "$case_name" in
  screenshots) case_screenshots ;;
  no-display) case_no_display ;;
  launch) case_launch ;;
  *) echo "unknown case: $case_name" >&2; exit 2 ;;
esac
echo "ok"

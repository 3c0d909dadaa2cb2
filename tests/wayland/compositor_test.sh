#!/usr/bin/env bash
# The real panel on real displays, as head units run it, against the built-in controller
# simulator: natively on Wayland under weston's kiosk shell (at the panel's size, and full screen
# on a screen of another size), through Xwayland, under a weston that offers no seat at all, and
# full screen through SDL on a bare X server of another size. Each run must show the mirrored LCD
# and the clock line on the screenshot, where the panel draws them; where a seat exists, a tap on
# preset 2 must reach the simulator as its packet, and a tap on a black bar beside a scaled
# picture must send nothing. Ends with one line "N passed, N failed".
#
#   compositor_test.sh PANEL SOURCE_DIR
#
# weston nests in a private Xvfb (its x11 backend has a seat; its headless backend none) and draws
# with pixman; it refuses to run as root, so as root the compositor and the panel run as a system
# user created for them (quelt-wl). QUELT_SHOTS_DIR=DIR keeps the screenshots. Exit status 0 when
# every run passed, 1 when one failed, 77 (skipped) when the compositor packages are missing.
set -uo pipefail

panel=${1:?usage: compositor_test.sh PANEL SOURCE_DIR}
source_dir=${2:?usage: compositor_test.sh PANEL SOURCE_DIR}
user_name=quelt-wl
patience=20  # seconds for anything to appear; only a hung run waits that long

missing=()
for tool in weston weston-screenshooter Xvfb Xwayland xdotool xwininfo import convert setpriv; do
  command -v "$tool" > /dev/null || missing+=("$tool")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "SKIP: ${missing[*]} missing (scripts/setup installs weston, xwayland, xvfb, xdotool," \
    "x11-utils and imagemagick)"
  exit 77
fi

# --- who runs the programs -------------------------------------------------------------------------
run_as=()
if [[ $(id -u) -eq 0 ]]; then
  id "$user_name" > /dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user_name" || exit 1
  run_as=(setpriv "--reuid=$(id -u "$user_name")" "--regid=$(id -g "$user_name")" --init-groups --)
fi
as_user() { "${run_as[@]}" "$@"; }

work=$(mktemp -d /tmp/quelt-compositor-test.XXXXXX)
chmod 0755 "$work"
started=()

stop_all() {
  local i tries
  # Last started first: the panel before its compositor, the compositor before its X server.
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill -TERM -- "-${started[i]}" 2> /dev/null
    for ((tries = 0; tries < 30; tries++)); do
      kill -0 "${started[i]}" 2> /dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-${started[i]}" 2> /dev/null
    wait "${started[i]}" 2> /dev/null
  done
  started=()
}
trap 'stop_all; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

# Each program in a process group of its own, so that stop_all ends it with every child.
start() {
  setsid "$@" &
  started+=("$!")
}

wait_for() {  # what, command...
  local what=$1
  shift
  local deadline=$((SECONDS + patience))
  until "$@"; do
    ((SECONDS < deadline)) || {
      echo "  timed out waiting for $what"
      return 1
    }
    sleep 0.1
  done
}

# The program must be reachable by the user: a build under /root is not, so a copy runs instead.
program=$panel
if ! as_user test -x "$panel"; then
  program=$work/quelt-panel
  cp "$panel" "$program"
  chmod 0755 "$program"
fi

# A sanitizer build reads its options from the environment; files they name are copied where the
# user can read them.
sanitizer_env=()
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  value=${!name:-}
  [[ -n $value ]] || continue
  if [[ $value =~ suppressions=([^:]+) ]]; then
    cp "${BASH_REMATCH[1]}" "$work/$name.supp"
    value=${value/${BASH_REMATCH[1]}/$work/$name.supp}
  fi
  sanitizer_env+=("$name=$value")
done

# --- the screen -------------------------------------------------------------------------------------
# Where the panel's 800 x 480 picture lands on the output: scaled to fit, proportions kept, centred.
fit_panel() {  # output_width output_height
  local wide=$(($1 * 480)) tall=$(($2 * 800))
  fit_width=$1 fit_height=$2
  if ((wide > tall)); then
    fit_width=$(((tall + 240) / 480))
  elif ((tall > wide)); then
    fit_height=$(((wide + 400) / 800))
  fi
  fit_x=$((($1 - fit_width) / 2)) fit_y=$((($2 - fit_height) / 2))
}

# A panel rectangle (x y width height) as ImageMagick's crop geometry on the output.
crop_of() {
  local x=$((fit_x + $1 * fit_width / 800)) y=$((fit_y + $2 * fit_height / 480))
  echo "$(($3 * fit_width / 800))x$(($4 * fit_height / 480))+$x+$y"
}

# The output pixel that shows a panel pixel.
output_x() { echo $((fit_x + (2 * $1 + 1) * fit_width / 1600)); }
output_y() { echo $((fit_y + (2 * $1 + 1) * fit_height / 960)); }

fraction() {  # file crop filters...: the mean of the filtered crop, 0 to 1
  local file=$1 crop=$2
  shift 2
  convert "$file" -crop "$crop" +repage "$@" -format '%[fx:mean]' info: 2> /dev/null || echo 0
}

# The mirrored LCD is red dots in the LCD window (x 93 to 706, y 61 to 270); the clock line is
# grey text in x 240 to 558, y 447 to 477. A black, hidden or misplaced picture has neither.
shows_panel() {
  local red clock
  red=$(fraction "$1" "$(crop_of 93 61 614 210)" -channel R -threshold 35% -channel GB -negate \
    -threshold 80% +channel -separate -evaluate-sequence min)
  clock=$(fraction "$1" "$(crop_of 240 447 319 31)" -separate -evaluate-sequence max \
    -threshold 25%)
  shown="red LCD $red, clock line $clock"
  awk -v red="$red" -v clock="$clock" 'BEGIN { exit !(red >= 0.01 && clock >= 0.02) }'
}

panel_on_screen() {  # file
  if [[ $kind == xwayland ]]; then
    locate_x_window || return 1
  fi
  shoot "$1" && shows_panel "$1"
}

shoot() {  # file
  case "$kind" in
    x11) DISPLAY=$display import -window root "$1" 2> /dev/null ;;
    noseat)
      # weston-screenshooter (allowed by --debug) writes wayland-screenshot-*.png where it runs.
      rm -f "$scenario_dir"/shots/*.png
      (cd "$scenario_dir/shots" && as_user "${base_env[@]}" WAYLAND_DISPLAY=wayland-1 \
        weston-screenshooter > /dev/null 2>&1) &&
        mv "$scenario_dir"/shots/wayland-screenshot-*.png "$1" 2> /dev/null
      ;;
    *) DISPLAY=$display import -window "$output_window" "$1" 2> /dev/null ;;
  esac
}

tap() {  # output x y
  # Two moves: the compositor sees motion, and so gives the pointer focus, even when the pointer
  # already rests on the spot.
  DISPLAY=$display xdotool mousemove --window "$tap_window" "$(($1 + 1))" "$(($2 + 1))" &&
    DISPLAY=$display xdotool mousemove --sync --window "$tap_window" "$1" "$2" &&
    sleep 0.1 && DISPLAY=$display xdotool click 1
}

# --- one run ------------------------------------------------------------------------------------------
passed=0
failed=0

verdict() {  # name status
  if [[ $2 -eq 0 ]]; then
    passed=$((passed + 1))
    echo "PASS $1"
  else
    failed=$((failed + 1))
    echo "FAIL $1"
    sed 's/^/  panel: /' "$scenario_dir/panel.log" 2> /dev/null | tail -n 20
    sed 's/^/  weston: /' "$scenario_dir/weston.log" 2> /dev/null | tail -n 10
  fi
}

find_output_window() {
  # weston's output is the only child of the Xvfb's root window.
  output_window=$(DISPLAY=$display xwininfo -root -children 2> /dev/null |
    awk '/^ +0x/ {print $1; exit}')
  [[ -n $output_window ]]
}

# weston 10's X window manager frames an X window with margins, and its kiosk shell places the
# frame as if they were not there: an X window may land off the output's origin. The compositor's
# scene graph tells where its pixels went: where the view is when all of it is opaque, else one
# pixel inside its opaque box, which runs one pixel around the X window.
locate_x_window() {
  local scene
  scene=$(cd "$scenario_dir" && as_user "${base_env[@]}" WAYLAND_DISPLAY=wayland-1 \
    timeout 5 weston-debug scene-graph 2> /dev/null) || return 1
  local box
  box=$(awk '/top-level window .QUELT_VER120./ {found = 1; next}
    !found {next}
    /View [0-9]/ {exit}
    {line = $0; gsub(/[^-0-9]+/, " ", line); split(line, at, " ")}
    /position: \(/ {x = at[1]; y = at[2]}
    /fully opaque/ {print x, y; exit}
    /opaque: \(/ {print at[1] + 1, at[2] + 1; exit}' <<< "$scene")
  [[ -n $box ]] || return 1
  read -r fit_x fit_y <<< "$box"
}

find_xwayland() {
  xwayland_display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' \
    "$scenario_dir/weston.log" 2> /dev/null | head -n1)
  [[ -n $xwayland_display ]]
}

# Starts the X server and the compositor of a run; sets display, output_window, tap_window.
start_screen() {  # width height
  display= output_window=root tap_window=
  if [[ $kind != noseat ]]; then
    # -displayfd: the server picks a free display and tells it once it accepts connections.
    start "${run_as[@]}" Xvfb -displayfd 3 -screen 0 "$1x$2x24" -nolisten tcp \
      3> "$scenario_dir/display" 2> /dev/null
    wait_for Xvfb test -s "$scenario_dir/display" || return 1
    display=:$(head -n1 "$scenario_dir/display")
  fi
  if [[ $kind == x11 ]]; then
    tap_window=$(DISPLAY=$display xwininfo -root | awk '/Window id/ {print $4}')
    return 0
  fi
  local shell=kiosk-shell.so backend=(--backend=x11-backend.so) extra=()
  # weston's kiosk shell shows a window only once it activated it for a seat: without one the
  # desktop shell does, placing it below its panel unless the window is full screen.
  [[ $kind != noseat ]] || shell=desktop-shell.so backend=(--backend=headless-backend.so --debug)
  [[ $kind != xwayland ]] || extra=(--xwayland --debug)
  # No fades: a screenshot taken during one shows dimmed colours.
  printf '[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\n%s\n' \
    'focus-animation=none' > "$scenario_dir/weston.ini"
  start "${run_as[@]}" "${base_env[@]}" ${display:+"DISPLAY=$display"} weston "${backend[@]}" \
    "${extra[@]}" --config="$scenario_dir/weston.ini" --use-pixman "--shell=$shell" \
    --socket=wayland-1 --idle-time=0 "--width=$1" "--height=$2" \
    --log="$scenario_dir/weston.log" > /dev/null 2>&1 < /dev/null
  wait_for weston test -S "$runtime/wayland-1" || return 1
  if [[ -n $display ]]; then
    wait_for "weston's output window" find_output_window || return 1
    tap_window=$output_window
  fi
  if [[ $kind == xwayland ]]; then
    wait_for Xwayland find_xwayland || return 1
  fi
}

# The shell collects an ended child at once (wait still gives its status); one not yet collected
# is a zombie.
ended() { ! kill -0 "$1" 2> /dev/null || [[ $(ps -o stat= -p "$1" 2> /dev/null) == *Z* ]]; }

# The compositor goes away under a shown panel: the panel says so and ends with its own status for
# a lost display (2), which a service manager restarts, never with the 0 of a user's exit.
lose_compositor() {  # panel_pid
  local weston_pid=${started[-2]} code
  kill -TERM -- "-$weston_pid" 2> /dev/null
  wait_for "the panel to end without its compositor" ended "$1" || return 1
  wait "$1"
  code=$?
  if [[ $code -ne 2 ]]; then
    echo "  without its compositor the panel ended with $code, not 2"
    return 1
  fi
  grep -q "the Wayland compositor closed the connection" "$scenario_dir/panel.log" || {
    echo "  the panel did not say that the compositor went"
    return 1
  }
}

# name kind output_width output_height panel_env...
scenario() {
  local name=$1 width=$3 height=$4
  kind=$2
  shift 4
  scenario_dir=$work/$name
  runtime=$scenario_dir/runtime
  mkdir -p "$scenario_dir/card/App" "$scenario_dir/shots"
  mkdir -m 0700 "$runtime"
  cp "$source_dir/resources/storage-card/QUELTIMAGE.bmp" "$scenario_dir/card/"
  : > "$scenario_dir/trace"
  : > "$scenario_dir/panel.log"
  [[ ${#run_as[@]} -eq 0 ]] || chown -R "$user_name:" "$scenario_dir"
  base_env=(env -i "HOME=$scenario_dir" "PATH=/usr/local/bin:/usr/bin:/bin" "LANG=C.UTF-8"
    "XDG_RUNTIME_DIR=$runtime")
  local status=0
  start_screen "$width" "$height" || status=1
  fit_panel "$width" "$height"

  local panel_env=("QUELT_STORAGE_CARD=$scenario_dir/card"
    "QUELT_LINK_DEVICES=sim:trace=$scenario_dir/trace" "${sanitizer_env[@]}" "$@")
  case "$kind" in
    x11) panel_env+=("DISPLAY=$display") ;;
    xwayland) panel_env+=("DISPLAY=$xwayland_display" "WAYLAND_DISPLAY=wayland-1") ;;
    *) panel_env+=("WAYLAND_DISPLAY=wayland-1") ;;
  esac
  if [[ $status -eq 0 ]]; then
    start "${run_as[@]}" "${base_env[@]}" "${panel_env[@]}" "$program" \
      > "$scenario_dir/panel.log" 2>&1 < /dev/null
    local panel_pid=${started[-1]}
    local shot=$scenario_dir/screen.png
    shown=
    if wait_for "the panel on the screen" panel_on_screen "$shot"; then
      echo "  $name: $shown"
    else
      echo "  $name: ${shown:-no screenshot}"
      status=1
    fi
    [[ -z ${QUELT_SHOTS_DIR:-} || ! -f $shot ]] || cp "$shot" "$QUELT_SHOTS_DIR/$name.png"
    if [[ $status -eq 0 && $kind != noseat ]]; then
      # On a scaled picture, first the left bar beside POWER: it must send nothing.
      if ((fit_width != 800 && fit_x > 0)); then
        tap $((fit_x / 2)) $((fit_y + fit_height - 5)) || status=1
      fi
      tap "$(output_x 250)" "$(output_y 320)" || status=1
      wait_for "preset 2 in the simulator's trace" grep -q "touch PRESET 2" \
        "$scenario_dir/trace" || status=1
      if grep -q "touch POWER" "$scenario_dir/trace"; then
        echo "  a tap on the bar reached the panel"
        status=1
      fi
    fi
    # The panel counts as in front once shown: the heartbeat says so.
    wait_for "the heartbeat's panel in front" grep -q "panel in front" "$scenario_dir/trace" ||
      status=1
    if ! kill -0 "$panel_pid" 2> /dev/null; then
      echo "  the panel ended"
      status=1
    fi
    if [[ $status -eq 0 && $kind == wayland ]]; then
      lose_compositor "$panel_pid" || status=1
    fi
    if grep -Eq "Sanitizer|runtime error|cannot show windows on Wayland" \
      "$scenario_dir/panel.log"; then
      status=1
    fi
  fi
  stop_all
  verdict "$name" "$status"
}

scenario wayland-kiosk wayland 800 480
scenario wayland-kiosk-full-screen-1024x600 wayland 1024 600 QUELT_FULLSCREEN=1
scenario xwayland-kiosk-full-screen xwayland 800 480 SDL_VIDEODRIVER=x11 QUELT_FULLSCREEN=1
scenario wayland-without-seat noseat 800 480 QUELT_FULLSCREEN=1
scenario x11-full-screen-1024x600 x11 1024 600 QUELT_FULLSCREEN=1
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]

#!/bin/sh
# Dolphin's plug-in in the real Dolphin under Xvfb: QT_PLUGIN_PATH points Dolphin at the build
# tree's plug-in (lib/plugins/kf5/kfileitemaction), dbus-run-session gives Dolphin and
# the driver one session bus, and a private PID namespace (where permitted)
# makes sure nothing outlives the run. The user is played with the mouse (xdotool) and the menu is
# read from the accessibility tree (gtk3_xvfb_menu.py), not from pixel offsets: right-click the
# background of a folder, pick "Lumvik" -> "Markdown (.md)" with the keyboard, and the file
# appears; again after entering a subfolder by typing its location, and after going Back, where
# the background menu is still the folder's own (never the folder as a selected item).
# Screenshots of every step are saved in OUTPUT_DIR.
#
# Usage: dolphin_xvfb_test.sh PLUGIN OUTPUT_DIR [--sanitized]
# Exit status: 0 passed, 1 failed, 77 skipped (Dolphin or a tool missing, or a sanitized plug-in,
# which cannot load into an unsanitized Dolphin).
set -eu

skip() {
  echo "SKIP: $*"
  exit 77
}

if [ -z "${QUENTA_XVFB_INNER:-}" ]; then
  [ $# -ge 2 ] || { echo "usage: $0 PLUGIN OUTPUT_DIR [--sanitized]" >&2; exit 2; }
  plugin="$1"
  output="$2"
  [ "${3:-}" != --sanitized ] || skip "a sanitized plug-in cannot load into Dolphin"
  for tool in dolphin Xvfb xdotool import dbus-run-session timeout; do
    command -v "$tool" >/dev/null 2>&1 || skip "'$tool' is not installed"
  done
  [ -x /usr/libexec/at-spi-bus-launcher ] || skip "the accessibility bus (at-spi2-core) is not installed"
  /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
    skip "the accessibility bindings (python3-gi, gir1.2-atspi-2.0) are not installed"
  [ -f "$plugin" ] || { echo "FAILED: no plug-in at $plugin"; exit 1; }

  rm -rf "$output"
  mkdir -p "$output"
  work="$(mktemp -d "${TMPDIR:-/tmp}/quenta-dolphin-xvfb-XXXXXX")"
  trap 'rm -rf "$work"' EXIT INT TERM
  # Dolphin finds plug-ins in kf5/kfileitemaction under each folder of QT_PLUGIN_PATH.
  plugins="$(dirname "$(dirname "$(dirname "$(readlink -f "$plugin")")")")"
  namespace=""
  if unshare --pid --fork --kill-child --mount-proc true 2>/dev/null; then
    namespace="unshare --pid --fork --kill-child --mount-proc"
  fi
  status=0
  # The whole run is bounded; in a namespace, --kill-child ends everything with the script.
  QUENTA_XVFB_INNER=1 QUENTA_XVFB_WORK="$work" QUENTA_XVFB_OUTPUT="$output" \
    QUENTA_XVFB_PLUGINS="$plugins" \
    QUENTA_XVFB_MENU="$(dirname "$(readlink -f "$0")")/gtk3_xvfb_menu.py" \
    timeout --kill-after=10 120 $namespace sh "$(readlink -f "$0")" || status=$?
  [ "$status" -ne 124 ] || echo "FAILED: the run did not end within 120 s"
  [ "$status" -eq 0 ] || echo "screenshots and logs: $output"
  exit "$status"
fi

work="$QUENTA_XVFB_WORK"
output="$QUENTA_XVFB_OUTPUT"
home="$work/home"
folder="$home/Folder"
log="$home/.local/state/QuentaFinderExtension.log"

fail() {
  echo "FAILED: $*"
  shot failure || true
  echo "--- menus shown"; /usr/bin/python3 "$QUENTA_XVFB_MENU" dolphin --dump 2>&1 || true
  echo "--- extension log"; cat "$log" 2>/dev/null || true
  echo "--- application log"; cat "$home/.local/state/QuentaApp.log" 2>/dev/null || true
  echo "--- dolphin (last lines)"; tail -n 20 "$output/dolphin.log" 2>/dev/null || true
  exit 1
}
shot() {
  import -display "$DISPLAY" -window root "$output/$1.png"
}
# Polls a condition every 0.2 s for at most $1 seconds.
wait_for() {
  limit=$(($1 * 5)); shift
  while ! "$@" >/dev/null 2>&1; do
    limit=$((limit - 1))
    [ "$limit" -gt 0 ] || return 1
    sleep 0.2
  done
}

if [ "$QUENTA_XVFB_INNER" = 1 ]; then
  # --- The display, then the session. -----------------------------------------------------------
  mkdir -p "$folder/Sub" "$home/Desktop" "$home/.local/state" "$home/.config/QuentaFinderExtension" \
    "$work/runtime"
  chmod 700 "$work/runtime"
  # No update check is due, so nothing goes to the network.
  echo '{"UpdateNextCheckDate": {"$date": 4102444800000}}' \
    >"$home/.config/QuentaFinderExtension/defaults.json"
  # Xvfb picks a free display and writes its number on descriptor 3.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$output/xvfb.log" 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true' EXIT
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
  status=0
  # Dolphin refuses to run under sudo; as root itself it only warns.
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CACHE_HOME -u WAYLAND_DISPLAY \
    -u DBUS_SESSION_BUS_ADDRESS -u NO_AT_BRIDGE -u SUDO_USER -u KDESU_USER -u QT_QPA_PLATFORM \
    HOME="$home" XDG_RUNTIME_DIR="$work/runtime" DISPLAY=":$(cat "$work/display")" \
    QT_PLUGIN_PATH="$QUENTA_XVFB_PLUGINS" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 \
    QUENTA_XVFB_INNER=2 dbus-run-session -- sh "$0" 2>"$output/session.log" || status=$?
  exit "$status"
fi

# --- In the session: the accessibility bus (before Dolphin, which looks for it when it starts),
# Dolphin, and the user playing it. ------------------------------------------------------------
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$output/at-spi.log" 2>&1 &
bus=$!
sleep 1
dolphin --new-window "$folder" >"$output/dolphin.log" 2>&1 &
manager=$!
trap 'kill "$manager" "$bus" 2>/dev/null || true' EXIT
window() {
  xdotool search --onlyvisible --class dolphin 2>/dev/null | head -n 1
}
has_window() {
  [ -n "$(window)" ]
}
wait_for 30 has_window || fail "no Dolphin window within 30 s"
sleep 2  # let the view lay out
shot 1-window

# Without a window manager the window sits at 0,0; three quarters across and down its view is
# blank in these small folders.
eval "$(xdotool getwindowgeometry --shell "$(window)")"
blank_x=$((WIDTH * 3 / 4))
blank_y=$((HEIGHT * 3 / 4))
# create_markdown STEP FILE: "Lumvik" -> "Markdown (.md)" from the background menu makes FILE.
create_markdown() {
  xdotool mousemove "$blank_x" "$blank_y" click 3
  sleep 1
  shot "$1-background-menu"
  # Qt exposes the window but not its pop-up menus on the accessibility bus, so the menu is walked
  # with the keyboard from its end, past Dolphin's last item ("Properties"): "打开终端",
  # "拷贝路径", then "Lumvik" (the disabled items between, cut and trash with nothing selected
  # among them, are skipped); Right opens it on its first enabled item, "文本文档 (.txt)", and two
  # Downs reach "Markdown (.md)".
  xdotool key --delay 150 Up Up Up Up
  sleep 0.5
  xdotool key --delay 150 Right
  sleep 0.5
  xdotool key --delay 150 Down Down
  sleep 0.5
  shot "$1-markdown"
  xdotool key Return
  wait_for 15 test -f "$2" || fail "$2 did not appear (step $1)"
  [ "$(cat "$2")" = "# Untitled" ] || fail "$2 has the wrong contents"
  sleep 1
  shot "$1-created"
}

create_markdown 2 "$folder/新建Markdown.md"
# A location typed into the location bar.
xdotool key Escape ctrl+l
sleep 0.5
xdotool type --delay 20 "$folder/Sub"
xdotool key Return
sleep 1.5
create_markdown 3 "$folder/Sub/新建Markdown.md"
# Back to the folder.
xdotool key Escape alt+Left
sleep 1.5
create_markdown 4 "$folder/新建Markdown 2.md"
ls -AR "$folder" >"$output/folder.txt"
[ "$(ls -A "$folder" | wc -l)" -eq 3 ] || fail "$folder holds other items than expected"
[ "$(ls -A "$folder/Sub" | wc -l)" -eq 1 ] || fail "$folder/Sub holds other items than expected"
echo "ok: dolphin: 新建Markdown.md created from \"Lumvik\" in the background menu of a folder, of a typed location and after Back (screenshots in $output)"

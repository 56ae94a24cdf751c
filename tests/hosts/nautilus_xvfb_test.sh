#!/bin/sh
# The module in the real GNOME Files under Xvfb: a private mount namespace bind-mounts a folder
# holding the module over Nautilus's extension folder, a private PID namespace makes sure nothing
# outlives the run, dbus-run-session gives Nautilus its own session bus, and xdotool plays the user:
# right-click the background of a folder, open the "Lumvik" submenu, pick "Markdown (.md)". The
# file must appear in that folder, in the one window. Before that, the selection menu of a file:
# "剪切" is enabled there and cuts that file; Nautilus's own Paste moves it. Then the Trash, a place without a local path:
# "拷贝路径" copies its address. Screenshots of every step are saved in OUTPUT_DIR.
#
# Usage: nautilus_xvfb_test.sh MODULE OUTPUT_DIR [--sanitized]
# Exit status: 0 passed, 1 failed, 77 skipped (not root, a tool missing, no namespaces, or a
# sanitized module, which cannot load into an unsanitized Nautilus).
set -eu

skip() {
  echo "SKIP: $*"
  exit 77
}

if [ "${QUENTA_XVFB_INNER:-}" != 1 ]; then
  [ $# -ge 2 ] || { echo "usage: $0 MODULE OUTPUT_DIR [--sanitized]" >&2; exit 2; }
  module="$1"
  output="$2"
  [ "${3:-}" != --sanitized ] || skip "a sanitized module cannot load into Nautilus"
  [ "$(id -u)" -eq 0 ] || skip "needs root for a private mount namespace"
  for tool in nautilus Xvfb xdotool import dbus-run-session unshare mount timeout pkg-config; do
    command -v "$tool" >/dev/null 2>&1 || skip "'$tool' is not installed"
  done
  extensiondir="$(pkg-config --variable=extensiondir libnautilus-extension-4)"
  [ -d "$extensiondir" ] || skip "Nautilus's extension folder $extensiondir is missing"
  [ -f "$module" ] || { echo "FAILED: no module at $module"; exit 1; }
  unshare --mount --pid --fork true 2>/dev/null || skip "private namespaces are not permitted here"

  rm -rf "$output"
  mkdir -p "$output"
  work="$(mktemp -d "${TMPDIR:-/tmp}/quenta-xvfb-XXXXXX")"
  trap 'rm -rf "$work"' EXIT INT TERM
  mkdir -p "$work/extensions"
  cp "$module" "$work/extensions/"
  # The whole run is bounded; --kill-child ends everything in the namespace with the script.
  status=0
  QUENTA_XVFB_INNER=1 QUENTA_XVFB_WORK="$work" QUENTA_XVFB_OUTPUT="$output" \
    QUENTA_XVFB_EXTENSIONS="$extensiondir" \
    timeout --kill-after=10 180 \
    unshare --mount --pid --fork --kill-child --mount-proc \
    sh -c 'mount --bind "$QUENTA_XVFB_WORK/extensions" "$QUENTA_XVFB_EXTENSIONS" &&
           exec sh "$0"' "$(readlink -f "$0")" || status=$?
  [ "$status" -ne 124 ] || echo "FAILED: the run did not end within 180 s"
  [ "$status" -eq 0 ] || echo "screenshots and logs: $output"
  exit "$status"
fi

# --- Inside the namespaces: PID 1 of a private PID namespace, the module bind-mounted. ---------
work="$QUENTA_XVFB_WORK"
output="$QUENTA_XVFB_OUTPUT"
home="$work/home"
folder="$home/Folder"
mkdir -p "$folder/Sub" "$home/Desktop" "$home/.local/state" "$home/.config/QuentaFinderExtension" \
  "$work/runtime"
chmod 700 "$work/runtime"
touch "$folder/existing.txt"
# No update check is due, so nothing goes to the network.
echo '{"UpdateNextCheckDate": {"$date": 4102444800000}}' \
  >"$home/.config/QuentaFinderExtension/defaults.json"

fail() {
  echo "FAILED: $*"
  shot failure || true
  echo "--- extension log"; cat "$home/.local/state/QuentaFinderExtension.log" 2>/dev/null || true
  echo "--- application log"; cat "$home/.local/state/QuentaApp.log" 2>/dev/null || true
  echo "--- nautilus (last lines)"; tail -n 20 "$output/nautilus.log" 2>/dev/null || true
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
windows() {
  xdotool search --onlyvisible --class nautilus 2>/dev/null | wc -l
}
more_windows_than() {
  [ "$(windows)" -gt "$1" ]
}

# Xvfb picks a free display and writes its number on descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$output/xvfb.log" 2>&1 &
xvfb=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
trap 'kill "$xvfb" 2>/dev/null || true' EXIT

env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CACHE_HOME -u WAYLAND_DISPLAY \
  -u DBUS_SESSION_BUS_ADDRESS \
  HOME="$home" XDG_RUNTIME_DIR="$work/runtime" GSK_RENDERER=cairo GDK_BACKEND=x11 NO_AT_BRIDGE=1 \
  DISPLAY="$DISPLAY" \
  dbus-run-session -- nautilus --new-window "$folder" >"$output/nautilus.log" 2>&1 &
nautilus=$!
trap 'kill "$nautilus" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT

wait_for 30 more_windows_than 0 || fail "no Nautilus window within 30 s"
sleep 2  # let the view lay out its items
shot 1-window

# Nautilus's window sits at 0,0 (no window manager), 890x550, folders first: Sub, existing.txt.
# The offsets below follow GNOME Files 43's menus and their popover rows of 32 pixels.
log="$home/.local/state/QuentaFinderExtension.log"
open_menu() {  # open_menu X Y SHOT: right-click there and wait for the popover
  before="$(windows)"
  xdotool mousemove "$1" "$2" click 3
  wait_for 10 more_windows_than "$before" || fail "no context menu after the right-click at $1,$2"
  sleep 0.5
  shot "$3"
}

# The selection menu of existing.txt: its own nine items, then the module's; "剪切" is the third.
open_menu 489 125 2-selection-menu
xdotool mousemove 534 539 click 1
wait_for 10 grep -qF "cut paths: [\"$folder/existing.txt\"]" "$log" ||
  fail "剪切 in the selection menu did not cut existing.txt"

# The background menu: Nautilus's own items (how many depends on what is installed), then the
# module's, then "Properties". From the end with the keyboard, past the disabled items: "Properties",
# "打开终端", "拷贝路径", "粘贴到此处" (a cut is pending), then "Lumvik", which opens its submenu.
windows_before="$(windows)"
open_menu 600 150 3-background-menu
xdotool key --delay 150 Up Up Up Up Up
sleep 0.5
shot 3-lumvik
xdotool key Return
sleep 1
shot 4-submenu
xdotool mousemove 670 300 click 1  # "Markdown (.md)", the submenu's third file kind
wait_for 15 test -f "$folder/新建Markdown.md" || fail "新建Markdown.md did not appear in $folder"
[ "$(cat "$folder/新建Markdown.md")" = "# Untitled" ] || fail "新建Markdown.md has the wrong contents"
wait_for 10 grep -q "main app open request sent" "$log" ||
  fail "the extension did not log that quentaapp took the request"
sleep 2
shot 5-created
[ "$(windows)" -eq "$windows_before" ] || fail "the new file opened another window"
ls -A "$folder" >"$output/folder.txt"
[ "$(ls -A "$folder" | wc -l)" -eq 3 ] || fail "the folder holds other items than expected"

# One clipboard: Nautilus's own Paste (Ctrl+V) in Sub moves existing.txt, cut with "剪切" above.
go_to() {  # go_to LOCATION: through the location bar
  xdotool key Escape ctrl+l
  sleep 0.5
  xdotool type --delay 20 "$1"
  xdotool key Return
  sleep 2
}
go_to "$folder/Sub"
xdotool mousemove 600 400 click 1
xdotool key ctrl+v
wait_for 15 test -f "$folder/Sub/existing.txt" || fail "Nautilus's own Paste did not move our cut"
[ ! -e "$folder/existing.txt" ] || fail "Nautilus's own Paste copied instead of moving"
shot 6-host-pasted

# The Trash: in its background menu the last enabled item of the module's is "拷贝路径" (what
# needs a folder is disabled there), which copies the Trash's address; nothing is made on the
# Desktop.
go_to "trash:///"
open_menu 600 150 7-trash-menu
xdotool key --delay 150 Up Up  # "Properties", then "拷贝路径"
sleep 0.5
shot 8-trash-copy-path
xdotool key Return
wait_for 10 grep -qF 'copied paths: ["trash:///"]' "$log" ||
  fail "拷贝路径 in the Trash did not copy the Trash's address"
[ -z "$(ls -A "$home/Desktop")" ] || fail "something was made on the Desktop"
echo "ok: existing.txt cut from the selection menu, 新建Markdown.md created from the background menu in the one window, our cut moved by Nautilus's Ctrl+V, the Trash's address copied from its background menu (screenshots in $output)"

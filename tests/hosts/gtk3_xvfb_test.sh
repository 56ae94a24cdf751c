#!/bin/sh
# A GTK 3 file manager's module (Nemo, Caja or Thunar) in the real file manager under Xvfb: a
# private mount namespace bind-mounts a folder holding only the module over the file manager's
# extension folder, a private PID namespace makes sure nothing outlives the run, dbus-run-session
# gives the file manager, its accessibility bus and the driver one session bus. The user is played
# with the keyboard and the mouse (xdotool) and the menus are read from the accessibility tree
# (gtk3_xvfb_menu.py), not from pixel offsets: in Caja, find the toolbar button; select the two
# files of a folder and pick "剪切" in their menu, go to another folder, right-click its background
# and pick "粘贴到此处" (the files move there; the paste item of a folder shown before the cut is
# enabled too), right-click again and pick "Lumvik" -> "Markdown (.md)" (the file appears). The
# pasted and the new items show in the one window: no other window opens. One clipboard: our cut
# is pasted by the host's own Ctrl+V, the host's own Ctrl+X by our "粘贴到此处", which is then
# disabled. Screenshots of every step are saved in OUTPUT_DIR.
#
# Usage: gtk3_xvfb_test.sh HOST MODULE OUTPUT_DIR [--sanitized]    HOST: nemo, caja or thunar
# With QUENTA_XVFB_LANGUAGE set (en, zh_CN) the file manager runs in that language (under the
# en_US.UTF-8 locale), and the items picked and the file made are looked for in it.
# Exit status: 0 passed, 1 failed, 77 skipped (not root, a tool missing, no namespaces, or a
# sanitized module, which cannot load into an unsanitized file manager).
set -eu

skip() {
  echo "SKIP: $*"
  exit 77
}

if [ -z "${QUENTA_XVFB_INNER:-}" ]; then
  [ $# -ge 3 ] || { echo "usage: $0 HOST MODULE OUTPUT_DIR [--sanitized]" >&2; exit 2; }
  host="$1"
  module="$2"
  output="$3"
  case "$host" in
    nemo) package=libnemo-extension; variable=extensiondir ;;
    caja) package=libcaja-extension; variable=extensiondir ;;
    thunar) package=thunarx-3; variable=extensionsdir ;;
    *) echo "unknown file manager '$host'" >&2; exit 2 ;;
  esac
  [ "${4:-}" != --sanitized ] || skip "a sanitized module cannot load into $host"
  [ "$(id -u)" -eq 0 ] || skip "needs root for a private mount namespace"
  for tool in "$host" Xvfb xdotool import dbus-run-session unshare mount timeout pkg-config; do
    command -v "$tool" >/dev/null 2>&1 || skip "'$tool' is not installed"
  done
  /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
    skip "the accessibility bindings (python3-gi, gir1.2-atspi-2.0) are not installed"
  extensiondir="$(pkg-config --variable="$variable" "$package")"
  [ -n "$extensiondir" ] || skip "pkg-config does not name $host's extension folder"
  [ -f "$module" ] || { echo "FAILED: no module at $module"; exit 1; }
  unshare --mount --pid --fork true 2>/dev/null || skip "private namespaces are not permitted here"

  rm -rf "$output"
  mkdir -p "$output"
  work="$(mktemp -d "${TMPDIR:-/tmp}/quenta-$host-xvfb-XXXXXX")"
  trap 'rm -rf "$work"' EXIT INT TERM
  mkdir -p "$work/extensions" "$work/upper" "$work/overlay"
  cp "$module" "$work/extensions/"
  # A file manager without extensions installed has no extension folder to mount over: inside
  # the namespace, an overlay of its nearest existing ancestor (changes kept in the work folder)
  # holds a new one.
  ancestor="$extensiondir"
  while [ ! -d "$ancestor" ]; do ancestor="$(dirname "$ancestor")"; done
  # The whole run is bounded; --kill-child ends everything in the namespace with the script.
  status=0
  QUENTA_XVFB_INNER=1 QUENTA_XVFB_HOST="$host" QUENTA_XVFB_WORK="$work" \
    QUENTA_XVFB_OUTPUT="$output" QUENTA_XVFB_EXTENSIONS="$extensiondir" \
    QUENTA_XVFB_ANCESTOR="$ancestor" \
    QUENTA_XVFB_MENU="$(dirname "$(readlink -f "$0")")/gtk3_xvfb_menu.py" \
    timeout --kill-after=10 150 \
    unshare --mount --pid --fork --kill-child --mount-proc \
    sh -c 'if [ "$QUENTA_XVFB_ANCESTOR" != "$QUENTA_XVFB_EXTENSIONS" ]; then
             mount -t overlay overlay -o "lowerdir=$QUENTA_XVFB_ANCESTOR,upperdir=$QUENTA_XVFB_WORK/upper,workdir=$QUENTA_XVFB_WORK/overlay" "$QUENTA_XVFB_ANCESTOR" &&
             mkdir -p "$QUENTA_XVFB_EXTENSIONS" || exit 77
           fi
           mount --bind "$QUENTA_XVFB_WORK/extensions" "$QUENTA_XVFB_EXTENSIONS" &&
           exec sh "$0"' "$(readlink -f "$0")" || status=$?
  [ "$status" -ne 124 ] || echo "FAILED: the run did not end within 150 s"
  [ "$status" -eq 0 ] || echo "screenshots and logs: $output"
  exit "$status"
fi

host="$QUENTA_XVFB_HOST"
work="$QUENTA_XVFB_WORK"
output="$QUENTA_XVFB_OUTPUT"
home="$work/home"
folder="$home/Folder"
other="$home/Other"
log="$home/.local/state/QuentaFinderExtension.log"

fail() {
  echo "FAILED: $*"
  shot failure || true
  echo "--- menus shown"; /usr/bin/python3 "$QUENTA_XVFB_MENU" "$host" --dump 2>&1 || true
  echo "--- extension log"; cat "$log" 2>/dev/null || true
  echo "--- application log"; cat "$home/.local/state/QuentaApp.log" 2>/dev/null || true
  echo "--- $host (last lines)"; tail -n 20 "$output/$host.log" 2>/dev/null || true
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
  # --- In the namespaces, the module bind-mounted: the display, then the session. -------------
  mkdir -p "$folder" "$other" "$home/Desktop" "$home/.local/state" \
    "$home/.config/QuentaFinderExtension" "$work/runtime"
  chmod 700 "$work/runtime"
  touch "$folder/existing.txt" "$folder/second.txt"
  # No update check is due, so nothing goes to the network.
  echo '{"UpdateNextCheckDate": {"$date": 4102444800000}}' \
    >"$home/.config/QuentaFinderExtension/defaults.json"
  # Xvfb picks a free display and writes its number on descriptor 3.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$output/xvfb.log" 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true' EXIT
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
  status=0
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CACHE_HOME -u WAYLAND_DISPLAY \
    -u DBUS_SESSION_BUS_ADDRESS -u NO_AT_BRIDGE \
    HOME="$home" XDG_RUNTIME_DIR="$work/runtime" GDK_BACKEND=x11 DISPLAY=":$(cat "$work/display")" \
    QUENTA_XVFB_INNER=2 dbus-run-session -- sh "$0" 2>"$output/session.log" || status=$?
  exit "$status"
fi

# --- In the session: the file manager, and the user playing it. -------------------------------
cut_label=剪切 paste_label=粘贴到此处 group_label=文本文档 made=新建Markdown.md
case "${QUENTA_XVFB_LANGUAGE:-}" in
  '') ;;
  en) cut_label=Cut paste_label="Paste Here" group_label="Text Documents" made="New Markdown.md"
      unset LC_ALL LC_MESSAGES; export LANG=en_US.UTF-8 LANGUAGE=en ;;
  *) unset LC_ALL LC_MESSAGES; export LANG=en_US.UTF-8 LANGUAGE="$QUENTA_XVFB_LANGUAGE" ;;
esac
case "$host" in
  caja) "$host" --no-desktop "$folder" >"$output/$host.log" 2>&1 & ;;
  *) "$host" "$folder" >"$output/$host.log" 2>&1 & ;;
esac
manager=$!
trap 'kill "$manager" 2>/dev/null || true' EXIT
window() {
  xdotool search --onlyvisible --class "$host" 2>/dev/null | head -n 1
}
has_window() {
  [ -n "$(window)" ]
}
wait_for 30 has_window || fail "no $host window within 30 s"
sleep 2  # let the view lay out its items
shot 1-window
windows() {
  xdotool search --onlyvisible --class "$host" 2>/dev/null | wc -l
}
windows_at_start="$(windows)"
# A reveal that opens a window does so within a second or two of the item's appearing.
one_window() {  # one_window WHAT
  sleep 2
  [ "$(windows)" -eq "$windows_at_start" ] || fail "$1 opened another window ($(windows) now)"
}

pick() {  # pick SHOT LABEL...: click the menu items with these labels, in turn
  name="$1"; shift
  sleep 0.5
  shot "$name"
  /usr/bin/python3 "$QUENTA_XVFB_MENU" "$host" "$@" || fail "could not pick $* in $host's menu"
}
# Caja's toolbar shows the extension's button, with its tool tip, once the window is wide enough.
if [ "$host" = caja ]; then
  xdotool windowsize "$(window)" 1200 600
  sleep 1
  tip="$(/usr/bin/python3 "$QUENTA_XVFB_MENU" "$host" --button Lumvik)" ||
    fail "Caja's toolbar shows no \"Lumvik\" button"
  [ "$tip" = "在当前位置新建文件" ] || fail "the toolbar button's tool tip is '$tip'"
  shot 1-toolbar
  # Clicked, it opens the background's menu: "Lumvik" -> "Markdown (.md)" makes the file.
  where="$(/usr/bin/python3 "$QUENTA_XVFB_MENU" "$host" --where Lumvik)" ||
    fail "the toolbar button has no place on the screen"
  # shellcheck disable=SC2086 # "X Y"
  xdotool mousemove $where click 1
  pick 1-toolbar-menu Lumvik "Markdown (.md)"
  xdotool mousemove 10 790  # away from the button, whose tool tip would count as a window
  wait_for 15 test -f "$folder/新建Markdown.md" ||
    fail "the toolbar button's menu did not make 新建Markdown.md in $folder"
  one_window "the toolbar's new file"
  rm "$folder/新建Markdown.md"
fi

# Without a window manager the window sits at 0,0; three quarters across and down its view is
# blank in these small folders.
eval "$(xdotool getwindowgeometry --shell "$(window)")"
blank_x=$((WIDTH * 3 / 4))
blank_y=$((HEIGHT * 3 / 4))
go_to() {  # go_to FOLDER: through the location bar
  xdotool key ctrl+l
  sleep 0.5
  xdotool type --delay 20 "$1"
  xdotool key Return
  sleep 1.5
}

# The selection menu of the folder's two files (selected with the keyboard): "剪切" cuts them.
xdotool mousemove "$blank_x" "$blank_y" click 1
xdotool key ctrl+a
sleep 0.5
xdotool key shift+F10
pick 2-selection-menu "$cut_label"
both_cut() {
  grep -F "cut paths: " "$log" | grep -F "$folder/existing.txt" | grep -qF "$folder/second.txt"
}
wait_for 10 both_cut || fail "$cut_label in the selection menu did not cut existing.txt and second.txt"
xdotool key Escape

# The background menu of the folder already shown offers the paste at once, even where the host
# asked for that menu only when the folder loaded (Nemo).
xdotool mousemove "$blank_x" "$blank_y" click 3
sleep 0.5
/usr/bin/python3 "$QUENTA_XVFB_MENU" "$host" --enabled "$paste_label" ||
  fail "$paste_label is not enabled in the background menu after the cut"
xdotool key Escape

# Another folder's background menu: "粘贴到此处" moves the files there.
go_to "$other"
xdotool mousemove "$blank_x" "$blank_y" click 3
pick 3-background-menu "$paste_label"
wait_for 15 test -f "$other/second.txt" || fail "second.txt was not pasted into $other"
[ -f "$other/existing.txt" ] && [ ! -e "$folder/existing.txt" ] ||
  fail "existing.txt was not moved into $other"
one_window "the paste"

# The background menu again: "Lumvik" -> "Markdown (.md)" creates the file. Thunar holds each
# group of file kinds in a submenu titled by its header; clicking that title leaves the menu open.
sleep 1
xdotool key Escape
xdotool mousemove "$blank_x" "$blank_y" click 3
if [ "$host" = thunar ]; then
  pick 4-background-menu Lumvik "$group_label" "Markdown (.md)"
else
  pick 4-background-menu Lumvik "Markdown (.md)"
fi
wait_for 15 test -f "$other/$made" || fail "$made did not appear in $other"
[ "$(cat "$other/$made")" = "# Untitled" ] || fail "$made has the wrong contents"
one_window "the new file"
shot 5-created
ls -A "$other" >"$output/folder.txt"
[ "$(ls -A "$other" | wc -l)" -eq 3 ] || fail "$other holds other items than expected"

# One clipboard. Our "剪切" of the three items, then the host's own Paste (Ctrl+V) in the first
# folder moves them.
xdotool mousemove "$blank_x" "$blank_y" click 1
xdotool key ctrl+a
sleep 0.5
xdotool key shift+F10
pick 6-cut-for-host "$cut_label"
xdotool key Escape
go_to "$folder"
xdotool mousemove "$blank_x" "$blank_y" click 1
xdotool key ctrl+v
wait_for 15 test -f "$folder/$made" || fail "$host's own Paste did not move our cut into $folder"
wait_for 5 test ! -e "$other/existing.txt" || fail "$host's own Paste copied instead of moving"
one_window "$host's own Paste"
shot 7-host-pasted
# The host's own Cut of them, then our "粘贴到此处" in the other folder moves them, and nothing is
# left to paste after it.
xdotool mousemove "$blank_x" "$blank_y" click 1
xdotool key ctrl+a
sleep 0.5
xdotool key ctrl+x
go_to "$other"
xdotool mousemove "$blank_x" "$blank_y" click 3
pick 8-paste-host-cut "$paste_label"
wait_for 15 test -f "$other/$made" || fail "$paste_label did not move $host's own cut into $other"
[ -f "$other/existing.txt" ] && [ ! -e "$folder/second.txt" ] ||
  fail "$paste_label moved only part of $host's own cut"
grep -qF "paste cut takes the file manager's cut: " "$log" || fail "the paste did not take the host's cut"
one_window "the paste of three items"
sleep 1
xdotool key Escape
xdotool mousemove "$blank_x" "$blank_y" click 3
sleep 0.5
shot 9-after-paste
! /usr/bin/python3 "$QUENTA_XVFB_MENU" "$host" --enabled "$paste_label" ||
  fail "$paste_label is still enabled after the cut was pasted"
xdotool key Escape
echo "ok: $host: two files cut from the selection menu and pasted from another folder's background menu, $made created from \"Lumvik\", our cut pasted by $host's Ctrl+V and $host's Ctrl+X pasted by \"$paste_label\", all in the one window (${QUENTA_XVFB_LANGUAGE:-untranslated}; screenshots in $output)"

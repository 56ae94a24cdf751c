#!/bin/bash
# The resident desktop instance of quentaapp for real: Xvfb on a free display, a private session
# bus (dbus-run-session), private HOME and XDG folders, xdotool to find and dismiss windows and
# screenshots saved under the build folder. Exits 77 (skipped) when a tool is missing.
#   desktop_shell_test.sh QUENTAAPP SCREENSHOT_DIR
set -u

if [ "${1:-}" = --inside ]; then
  shift
  app="$1" shots="$2" work="$3"
  failures=0
  pids=()
  fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
  # poll SECONDS COMMAND...: runs the command every 0.1 s until it succeeds or time runs out.
  poll() {
    local tries=$(($1 * 10))
    shift
    while [ "$tries" -gt 0 ]; do
      "$@" >/dev/null 2>&1 && return 0
      sleep 0.1
      tries=$((tries - 1))
    done
    return 1
  }
  title='访达右键Lumvik'
  visible_windows() { xdotool search --onlyvisible --name "^$title\$" 2>/dev/null; }
  visible_window() { visible_windows | head -1; }
  two_visible_windows() { [ "$(visible_windows | wc -l)" -ge 2 ]; }
  has_visible_window() { [ -n "$(visible_window)" ]; }
  no_visible_window() { [ -z "$(visible_window)" ]; }
  resident_pid() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.GetConnectionUnixProcessID com.local.QuentaApp 2>/dev/null |
      sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
  }
  no_resident() { [ -z "$(resident_pid)" ]; }
  # launch ARGS...: a later start, bounded so that a hang fails instead of blocking the test.
  launch() { timeout 10 "$app" "$@" </dev/null >>"$work/launch.out" 2>&1; }
  stop_resident() {
    local pid
    pid="$(resident_pid)"
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    poll 10 no_resident || fail "the resident instance did not end"
  }

  mkdir -p "$work/files"
  # 1. Started by the person: the installer window comes up.
  "$app" </dev/null >"$work/resident.out" 2>&1 &
  pids+=($!)
  if poll 10 has_visible_window; then
    window="$(visible_window)"
    geometry="$(xwininfo -id "$window")"
    width="$(echo "$geometry" | sed -n 's/^ *Width: //p')"
    height="$(echo "$geometry" | sed -n 's/^ *Height: //p')"
    [ "$width" = 600 ] || fail "the installer window is $width wide, not 600"
    [ "$height" -ge 292 ] || fail "the installer window is $height high, less than 292"
    [ "$(xdotool getwindowname "$window")" = 访达右键Lumvik ] || fail "the window's title"
    sleep 0.5  # the update row settles (the check fails at once without a network)
    import -window "$window" "$shots/installer-window.png" || fail "no screenshot"
    echo "installer window ${width}x${height}, screenshot $shots/installer-window.png"
  else
    fail "no installer window within 10 s"
  fi

  # 2. A later start with a request hands it over and exits; the resident creates the file and
  # orders the window out.
  if launch "quentaapp://create?type=markdown&path=$work/files"; then
    poll 5 test -f "$work/files/新建Markdown.md" || fail "the handed-over request made no file"
    poll 5 no_visible_window || fail "the window stayed after a request"
  else
    fail "the second start did not hand over its request (status $?)"
  fi
  kill -0 "${pids[0]}" 2>/dev/null || fail "the resident instance ended"

  # 3. An invalid request shows a dialog that holds back the next request until dismissed.
  launch "quentaapp://bogus?path=/tmp" || fail "the invalid request was not taken"
  if poll 10 has_visible_window; then
    dialog="$(visible_window)"
    launch "quentaapp://folder?path=$work/files" || fail "the next request was not taken"
    sleep 1
    [ -e "$work/files/新建文件夹" ] && fail "the next request ran while the dialog was up"
    import -window "$dialog" "$shots/alert-dialog.png"
    xdotool windowfocus --sync "$dialog" key Return
    poll 5 test -d "$work/files/新建文件夹" || fail "the held request did not run after the dialog"
    poll 5 no_visible_window || fail "the dialog stayed"
  else
    fail "no dialog for an invalid request"
  fi

  # 3b. A request from outside (what the desktop entry starts, handed over to the resident
  # instance) first shows what it asks: Escape, and Return on the default Cancel, do nothing;
  # the confirm button does it.
  mkdir -p "$work/outside"
  outside="quentaapp://folder?path=$work/outside"
  grep -q "^Exec=.* --from-scheme-handler -- %u$" "$(dirname "$app")/../installed/share/applications/quentaapp.desktop" ||
    fail "the desktop entry does not mark its requests as from outside"
  for key in Escape Return; do
    launch --from-scheme-handler -- "$outside" || fail "the request from outside was not taken"
    if poll 10 has_visible_window; then
      question="$(visible_window)"
      sleep 0.3
      [ "$key" = Escape ] && import -window "$question" "$shots/outside-request.png"
      # A loaded machine may map the dialog before it takes keys: the key is sent again once.
      xdotool windowfocus --sync "$question" key "$key"
      poll 5 no_visible_window || xdotool windowfocus --sync "$question" key "$key"
      poll 10 no_visible_window || fail "$key left the question up"
      sleep 0.3
      [ -e "$work/outside/新建文件夹" ] && fail "a request from outside was done after $key"
    else
      fail "no question for a request from outside"
    fi
  done
  launch --from-scheme-handler -- "$outside" || fail "the request from outside was not taken"
  if poll 10 has_visible_window; then
    sleep 0.3
    xdotool windowfocus --sync "$(visible_window)" key Tab key space
    poll 10 test -d "$work/outside/新建文件夹" || fail "the confirmed request from outside was not done"
    poll 10 no_visible_window || fail "the question stayed after the yes"
  fi
  grep -q "request from outside cancelled" "$work/home/.local/state/QuentaApp.log" ||
    fail "no log line for the cancelled request from outside"

  # 4. A start without URLs while running shows the same window again; it stays the
  # application's across every hide and show: twice, a request arriving while it is shown brings
  # up an alert modal over it and then hides it.
  for round in 1 2; do
    launch || fail "the reopen start failed"
    if ! poll 10 has_visible_window; then
      fail "reopen $round showed no window"
      continue
    fi
    installer="$(visible_window)"
    launch "quentaapp://bogus?path=/tmp" || fail "the request of round $round was not taken"
    if poll 10 two_visible_windows; then
      dialog="$(visible_windows | grep -vx "$installer" | head -1)"
      transient="$(xprop -id "$dialog" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # //p')"
      [ "$((transient))" = "$installer" ] ||
        fail "round $round: the alert is not modal over the installer window ($transient)"
      xdotool windowfocus --sync "$dialog" key Return
      poll 5 no_visible_window || fail "round $round: the installer window stayed after the request"
    else
      fail "round $round: no alert over the shown installer window"
    fi
  done
  stop_resident

  # 4b. The installer window in English and in Simplified Chinese (screenshots kept).
  for language in en:'Lumvik Right-Click' zh_CN:'Lumvik 右键菜单'; do
    code="${language%%:*}" title="${language#*:}"
    env -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 LANGUAGE="$code" "$app" </dev/null >>"$work/resident.out" 2>&1 &
    pids+=($!)
    if poll 10 has_visible_window; then
      sleep 0.5
      import -window "$(visible_window)" "$shots/installer-window-$code.png" || fail "no screenshot"
    else
      fail "no installer window titled $title"
    fi
    stop_resident
  done
  title='访达右键Lumvik'

  # 5. A first start with a request returns once the request is taken; the instance it leaves
  # resident shows no window.
  if launch "quentaapp://create?type=plainText&path=$work/files"; then
    poll 5 test -f "$work/files/新建文本文档.txt" || fail "the first start's request made no file"
    [ -n "$(resident_pid)" ] || fail "no resident instance after a first start with a request"
    sleep 0.6
    no_visible_window || fail "a start with a request showed the installer window"
  else
    fail "a first start with a request did not return (status $?)"
  fi
  stop_resident

  # 6. A display that cannot be opened (left over from an ended session) costs no request: it is
  # handled without the desktop, its alert on standard error.
  unreachable="DISPLAY=:$(($(echo "$DISPLAY" | tr -dc 0-9) + 37))"
  if env "$unreachable" timeout 10 "$app" "quentaapp://create?type=nope&path=$work" </dev/null \
    >"$work/unreachable.out" 2>&1; then
    fail "an invalid request without a display reported success"
  fi
  mkdir -p "$work/elsewhere"
  env "$unreachable" timeout 10 "$app" "quentaapp://folder?path=$work/elsewhere" </dev/null \
    >>"$work/unreachable.out" 2>&1 || fail "a request with an unreachable display failed"
  [ -d "$work/elsewhere/新建文件夹" ] || fail "a request with an unreachable display made nothing"
  grep -q '新建文件请求无效' "$work/unreachable.out" || fail "no alert text with an unreachable display"

  # 7. A paste that copies for more than a second (61,440 small files: several seconds even on a
  # fast disk) shows its progress window; 取消 stops it after the current file: the source stays
  # whole, no copy is left, the alert says 已取消.
  finder="$(dirname "$app")/quenta-finder"
  big="$(mktemp -d /dev/shm/quenta-desktop-XXXXXX)"
  mkdir "$big/many" "$work/pasted"
  (cd "$big/many" && head -c 60M /dev/zero | split -b 1k -a 5 - part)
  if "$finder" --selected "$big/many" invoke cutItems >/dev/null 2>&1 &&
    launch "quentaapp://pasteCut?path=$work/pasted"; then
    if poll 10 has_visible_window; then
      progress="$(visible_window)"
      import -window "$progress" "$shots/progress-window.png"
      xdotool windowfocus --sync "$progress" key space
      if poll 20 grep -q "move failed $big/many: cancelled" "$work/home/.local/state/QuentaApp.log"; then
        [ "$(find "$big/many" -type f | wc -l)" = 61440 ] || fail "a cancelled paste lost files"
        [ -z "$(ls -A "$work/pasted")" ] || fail "a cancelled paste left a copy: $(ls -A "$work/pasted")"
        poll 5 has_visible_window || fail "no alert after the cancel"
        xdotool windowfocus --sync "$(visible_window)" key Return
      else
        fail "取消 did not stop the paste"
      fi
    else
      fail "no progress window for a long paste"
    fi
  else
    fail "the long paste was not started"
  fi
  rm -rf "$big"
  stop_resident

  # 8. SIGTERM while a request from outside waits for its answer: the question is cancelled,
  # nothing is done, and the resident instance ends.
  # stop_and_wait PID: SIGTERM, then the exit status (137 when it was still there after 15 s).
  stop_and_wait() {
    kill -TERM "$1"
    (sleep 15 && kill -KILL "$1" 2>/dev/null) &
    local guard=$! status
    wait "$1"
    status=$?
    kill "$guard" 2>/dev/null
    return "$status"
  }
  "$app" </dev/null >>"$work/resident.out" 2>&1 &
  resident=$!
  before=$(ls -A "$work/outside" | wc -l)
  if poll 10 has_visible_window && launch --from-scheme-handler -- "$outside" &&
    poll 10 two_visible_windows; then
    stop_and_wait "$resident"
    status=$?
    [ "$status" = 143 ] || fail "SIGTERM during a question ended with $status, not 143"
    [ "$(ls -A "$work/outside" | wc -l)" = "$before" ] ||
      fail "the request from outside was done after SIGTERM"
  else
    fail "no question over the installer window"
    stop_resident
  fi

  # 8b. SIGTERM during a trash of many items in the resident instance: the item in hand is
  # finished, no Trash record is left without its item, and the instance ends with 128 + 15.
  mkdir "$work/many"
  (cd "$work/many" && seq 4000 | xargs touch)
  seq 4000 | sed "s|^|\&path=$work/many/|" | tr -d '\n' | sed 's/^&/quentaapp:\/\/trash?/' \
    >"$work/trash-request"
  "$app" </dev/null >>"$work/resident.out" 2>&1 &
  resident=$!
  trash="$work/home/.local/share/Trash"
  trash_begun() { [ -n "$(ls -A "$trash/files" 2>/dev/null)" ]; }
  if poll 10 has_visible_window && timeout 10 "$app" --stdin <"$work/trash-request" \
    >>"$work/launch.out" 2>&1; then
    poll 20 trash_begun || true
    stop_and_wait "$resident"
    status=$?
    [ "$status" = 143 ] || fail "SIGTERM ended the resident instance with $status, not 143"
    moved=$(find "$trash/files" -mindepth 1 -maxdepth 1 | wc -l)
    records=$(find "$trash/info" -mindepth 1 -maxdepth 1 | wc -l)
    left=$(find "$work/many" -mindepth 1 | wc -l)
    [ "$moved" -gt 0 ] || fail "nothing was trashed before SIGTERM"
    [ "$records" = "$moved" ] || fail "$records Trash records for $moved trashed items"
    [ $((moved + left)) = 4000 ] || fail "$moved trashed and $left left of 4000"
    grep -q '] stopped by SIGTERM, ' "$work/home/.local/state/QuentaApp.log" ||
      fail "no log line for the stop"
    echo "SIGTERM after $moved of 4000 items: $records records, status $status"
  else
    fail "the trash was not handed to the resident instance"
  fi

  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ "$failures" -eq 0 ] && echo "all desktop checks passed"
  exit $((failures > 0 ? 1 : 0))
fi

app="$1" shots="$2"
for tool in Xvfb dbus-run-session xdotool xwininfo xprop import gdbus timeout; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
mkdir -p "$shots"
work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "SKIP: Xvfb did not start: $(tail -1 "$work/xvfb.log")"
  exit 77
fi

mkdir -p "$work/home/.config" "$work/home/.local/state" "$work/home/.local/share" "$work/runtime"
chmod 700 "$work/runtime"
env -i PATH="$PATH" LANG=C.UTF-8 DISPLAY=":$(cat "$work/display")" HOME="$work/home" \
  XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/home/.local/state" \
  XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/runtime" \
  GDK_BACKEND=x11 GSK_RENDERER=cairo NO_AT_BRIDGE=1 GTK_A11Y=none \
  timeout 170 dbus-run-session -- bash "$0" --inside "$app" "$shots" "$work" 2>"$work/session.err"
status=$?
[ "$status" -ne 0 ] && tail -20 "$work/session.err"
exit "$status"

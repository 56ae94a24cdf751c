#!/bin/sh
# Times `quenta-finder ... invoke createMarkdown` (host start to the file existing: the host waits
# until quentaapp has taken the request) side by side with a plain `quentaapp` create run, each in a
# fresh folder, and prints the medians and their ratio (target: at most 3x).
#   bench/finder_vs_app.sh [RUNS]      (default 100; build the default preset first)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
runs="${1:-100}"
bin="build/default/bin"
[ -x "$bin/quenta-finder" ] || { echo "build the default preset first" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_STATE_HOME="$work/home/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_STATE_HOME" "$HOME/Desktop"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
# Let the first run's update check set the schedule so the timed runs do not start one.
"$bin/quenta-finder" menu >/dev/null

time_runs() {
  i=0
  while [ "$i" -lt "$runs" ]; do
    dir="$work/$1-$i"
    mkdir "$dir"
    start=$(date +%s%N)
    if [ "$1" = finder ]; then
      "$bin/quenta-finder" --targeted "$dir" invoke createMarkdown >/dev/null
    else
      "$bin/quentaapp" "quentaapp://create?type=markdown&path=$dir" >/dev/null
    fi
    end=$(date +%s%N)
    [ -e "$dir/新建Markdown.md" ] || { echo "run $i made no file" >&2; exit 1; }
    echo $((end - start))
    i=$((i + 1))
  done
}

app_ns=$(time_runs app | median)
finder_ns=$(time_runs finder | median)
report "$runs each" "quentaapp" "$app_ns" "quenta-finder" "$finder_ns" "at most 3x"

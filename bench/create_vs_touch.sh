#!/bin/sh
# Times a headless `quentaapp` create request (process start to exit, a new file in a fresh folder
# each run) side by side with `touch` of a new file, and prints the medians and their ratio, plus
# the peak memory of one create run.
#   bench/create_vs_touch.sh [RUNS]      (default 200; build the default preset first)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
runs="${1:-200}"
app="build/default/bin/quentaapp"
[ -x "$app" ] || { echo "build the default preset first: $app is missing" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_STATE_HOME="$work/home/state"
mkdir -p "$XDG_STATE_HOME"
unset DISPLAY WAYLAND_DISPLAY

# One line per run: nanoseconds taken by the command.
time_runs() {
  i=0
  while [ "$i" -lt "$runs" ]; do
    dir="$work/$1-$i"
    mkdir "$dir"
    start=$(date +%s%N)
    if [ "$1" = app ]; then
      "$app" "quentaapp://create?type=markdown&path=$dir" >/dev/null
    else
      touch "$dir/新建Markdown.md"
    fi
    end=$(date +%s%N)
    echo $((end - start))
    i=$((i + 1))
  done
}


touch_ns=$(time_runs touch | median)
app_ns=$(time_runs app | median)
mkdir "$work/mem"
peak_kib=$(/usr/bin/time -f %M "$app" "quentaapp://create?type=word&path=$work/mem" 2>&1 >/dev/null | tail -1)

awk -v t="$touch_ns" -v a="$app_ns" -v m="$peak_kib" -v n="$runs" 'BEGIN {
  printf "runs:                  %d each\n", n
  printf "touch median:          %.3f ms\n", t / 1e6
  printf "quentaapp median:      %.3f ms\n", a / 1e6
  printf "ratio quentaapp/touch: %.2fx (target: at most 3x)\n", a / t
  printf "peak memory (create):  %.1f MiB (target: under 10 MiB)\n", m / 1024
}'

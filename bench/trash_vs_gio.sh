#!/bin/sh
# Times one headless `quentaapp` trash request for 1,000 small files side by side with one
# `gio trash` of 1,000 such files (both into a private home trash on the same filesystem), and
# prints the medians and their ratio.
#   bench/trash_vs_gio.sh [RUNS] [FILES]   (defaults 5 and 1000; build the default preset first,
#                                           or set QUENTAAPP to the executable)
set -eu
cd "$(dirname "$0")/.."
runs="${1:-5}"
count="${2:-1000}"
app="${QUENTAAPP:-build/default/bin/quentaapp}"
[ -x "$app" ] || { echo "build the default preset first: $app is missing" >&2; exit 1; }
command -v gio >/dev/null || { echo "gio is missing (package libglib2.0-bin)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/var/tmp}/trash-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_STATE_HOME="$work/home/state"
mkdir -p "$XDG_DATA_HOME" "$XDG_STATE_HOME"
unset DISPLAY WAYLAND_DISPLAY

# Makes $count small files in a fresh folder and prints the folder.
make_files() {
  dir="$work/$1"
  mkdir "$dir"
  i=0
  while [ "$i" -lt "$count" ]; do
    printf 'file %d\n' "$i" > "$dir/file-$i.txt"
    i=$((i + 1))
  done
  sync
  echo "$dir"
}

# One line per run: nanoseconds taken by the trash of all files.
time_runs() {
  tool="$1"
  r=0
  while [ "$r" -lt "$runs" ]; do
    dir=$(make_files "$tool-$r")
    if [ "$tool" = app ]; then
      url="quentaapp://trash?"
      i=0
      while [ "$i" -lt "$count" ]; do
        url="${url}path=$dir/file-$i.txt&"
        i=$((i + 1))
      done
      start=$(date +%s%N)
      "$app" "$url" >/dev/null
    else
      set --
      i=0
      while [ "$i" -lt "$count" ]; do
        set -- "$@" "$dir/file-$i.txt"
        i=$((i + 1))
      done
      start=$(date +%s%N)
      gio trash "$@"
    fi
    end=$(date +%s%N)
    left=$(find "$dir" -type f | wc -l)
    [ "$left" -eq 0 ] || { echo "$tool left $left files behind" >&2; exit 1; }
    echo $((end - start))
    rm -rf "$XDG_DATA_HOME/Trash"
    r=$((r + 1))
  done
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

gio_ns=$(time_runs gio | median)
app_ns=$(time_runs app | median)

awk -v g="$gio_ns" -v a="$app_ns" -v n="$runs" -v c="$count" 'BEGIN {
  printf "runs:                  %d each, %d files a run\n", n, c
  printf "gio trash median:      %.1f ms\n", g / 1e6
  printf "quentaapp median:      %.1f ms\n", a / 1e6
  printf "ratio quentaapp/gio:   %.2fx (target: at most 0.25x)\n", a / g
}'

#!/bin/sh
# Times one headless `quentaapp` trash request for 1,000 small files side by side with one
# `gio trash` of 1,000 such files (both into a private home trash on the same filesystem), and
# prints the medians and their ratio.
#   bench/trash_vs_gio.sh [RUNS] [FILES]   (defaults 5 and 1000; build the default preset first,
#                                           or set QUENTAAPP to the executable)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
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


gio_ns=$(time_runs gio | median)
app_ns=$(time_runs app | median)

report "$runs each, $count files a run" "gio trash" "$gio_ns" "quentaapp" "$app_ns" "at most 0.25x"

#!/bin/sh
# Times a headless `quentaapp` paste of one cut folder holding FILES small files (default
# 100,000, in 100 folders) from /dev/shm to the work disk, side by side with `mv` of the same
# folder, runs alternating, and prints the medians, their ratio and quentaapp's peak memory.
#   bench/move_many_files.sh [RUNS] [FILES]   (defaults 3 and 100000; build the default preset
#                                              first, or set QUENTAAPP)
# SOURCE_BASE (default /dev/shm) and TMPDIR (default /tmp) choose the two filesystems.
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
runs="${1:-3}"
count="${2:-100000}"
app="$(realpath "${QUENTAAPP:-build/default/bin/quentaapp}")"
[ -x "$app" ] || { echo "build the default preset first: $app is missing" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (package time)" >&2; exit 1; }

sources="$(mktemp -d "${SOURCE_BASE:-/dev/shm}/quenta-many-bench-XXXXXX")"
work="$(mktemp -d "${TMPDIR:-/tmp}/quenta-many-bench-XXXXXX")"
trap 'rm -rf "$sources" "$work"' EXIT
[ "$(stat -f -c %i "$sources")" != "$(stat -f -c %i "$work")" ] ||
  { echo "$sources and $work are on one filesystem" >&2; exit 1; }
export HOME="$work/home" XDG_STATE_HOME="$work/home/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

make_tree() {
  mkdir "$1"
  per=$((count / 100))
  d=0
  while [ "$d" -lt 100 ]; do
    mkdir "$1/d$d"
    (cd "$1/d$d" && seq 1 "$per" | sed 's/^/f/' | xargs touch && for f in f1 f2 f3; do
      echo "$f" >"$f"; done)
    d=$((d + 1))
  done
}

cut_tree() {
  store="$XDG_RUNTIME_DIR/quenta-pasteboard"
  mkdir -p "$store"
  chmod 700 "$store"
  type="com.local.QuentaApp.cutPaths"
  printf 'quenta-pasteboard 1\n%d:%d\n%s%s' "${#type}" "${#1}" "$type" "$1" >"$store/entries"
}

now() { date +%s%N; }

mv_times="$work/mv.txt"
app_times="$work/app.txt"
peak="$work/peak.txt"
r=0
while [ "$r" -lt "$runs" ]; do
  for side in mv app; do
    src="$sources/$side-$r"
    dst="$work/$side-$r"
    make_tree "$src"
    mkdir "$dst"
    sync
    if [ "$side" = mv ]; then
      start=$(now); mv "$src" "$dst/"; end=$(now)
      echo $((end - start)) >>"$mv_times"
    else
      cut_tree "$src"
      start=$(now)
      /usr/bin/time -f %M -a -o "$peak" "$app" "quentaapp://pasteCut?path=$dst" </dev/null \
        >/dev/null 2>&1
      end=$(now)
      echo $((end - start)) >>"$app_times"
    fi
    moved=$(find "$dst/$side-$r" -type f | wc -l)
    [ "$moved" -eq "$count" ] || { echo "$side moved $moved of $count files" >&2; exit 1; }
    rm -rf "$src" "$dst"
  done
  r=$((r + 1))
done

report "$runs each, $count files in one folder per run" "mv" "$(median <"$mv_times")" \
  "quentaapp" "$(median <"$app_times")" "about 0.51x"
printf 'quentaapp peak memory:  %s KiB (target: under 64 MiB)\n' "$(sort -n "$peak" | tail -1)"

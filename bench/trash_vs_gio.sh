#!/bin/sh
# Times one headless `quentaapp` trash request side by side with one `gio trash` of as many small
# files (both into a private home trash on the same filesystem), runs alternating, and prints the
# medians and their ratio for two cases:
#   - FILES (default 1,000) files on a quiet disk;
#   - 10 files while another program writes BUSY_MB (default 3,072) MB to the same filesystem:
#     a trash that waited for other programs' writes would take seconds here.
#   bench/trash_vs_gio.sh [RUNS] [FILES] [BUSY_MB]   (defaults 5, 1000 and 3072; build the default
#                                                     preset first, or set QUENTAAPP)
# With STRACE=1 each case also prints `strace -c -f` of one quentaapp run.
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
runs="${1:-5}"
count="${2:-1000}"
busy_mb="${3:-3072}"
app="${QUENTAAPP:-build/default/bin/quentaapp}"
app="$(cd "$(dirname "$app")" && pwd)/$(basename "$app")"
[ -x "$app" ] || { echo "build the default preset first: $app is missing" >&2; exit 1; }
command -v gio >/dev/null || { echo "gio is missing (package libglib2.0-bin)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/var/tmp}/trash-bench.XXXXXX")"
writer=
trap '[ -z "$writer" ] || kill "$writer" 2>/dev/null; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_STATE_HOME="$work/home/state"
mkdir -p "$XDG_DATA_HOME" "$XDG_STATE_HOME"
unset DISPLAY WAYLAND_DISPLAY

# Makes $1 small files in a fresh folder $2 and prints the folder.
make_files() {
  dir="$work/$2"
  mkdir "$dir"
  i=0
  while [ "$i" -lt "$1" ]; do
    printf 'file %d\n' "$i" > "$dir/file-$i.txt"
    i=$((i + 1))
  done
  sync
  echo "$dir"
}

# Trashes the $1 files of folder $2 with tool $3 and prints the nanoseconds taken.
trash_with() {
  n="$1" dir="$2" tool="$3"
  set --
  i=0
  while [ "$i" -lt "$n" ]; do
    set -- "$@" "$dir/file-$i.txt"
    i=$((i + 1))
  done
  if [ "$tool" = app ]; then
    url="quentaapp://trash?"
    for f in "$@"; do url="${url}path=$f&"; done
    start=$(date +%s%N)
    ${TRACE:-} "$app" "$url" >/dev/null
  else
    start=$(date +%s%N)
    gio trash "$@"
  fi
  end=$(date +%s%N)
  left=$(find "$dir" -type f | wc -l)
  [ "$left" -eq 0 ] || { echo "$tool left $left files behind" >&2; exit 1; }
  rm -rf "$XDG_DATA_HOME/Trash" "$dir"
  echo $((end - start))
}

# Starts another program writing $busy_mb MB to this filesystem, and lets its unwritten data pile up.
start_writer() {
  dd if=/dev/zero of="$work/big" bs=1M count="$busy_mb" 2>/dev/null &
  writer=$!
  sleep 1
}
stop_writer() {
  kill "$writer" 2>/dev/null || true
  wait "$writer" 2>/dev/null || true
  writer=
  rm -f "$work/big"
  sync
}

# case NAME FILES BUSY: alternating runs of both tools; prints the report.
run_case() {
  name="$1" n="$2" busy="$3"
  : >"$work/gio.ns"
  : >"$work/app.ns"
  r=0
  while [ "$r" -lt "$runs" ]; do
    order="gio app"
    [ $((r % 2)) -eq 0 ] || order="app gio"
    for tool in $order; do
      dir=$(make_files "$n" "$tool-$r")
      [ "$busy" = 0 ] || start_writer
      trash_with "$n" "$dir" "$tool" >>"$work/$tool.ns"
      [ "$busy" = 0 ] || stop_writer
    done
    r=$((r + 1))
  done
  report "$name: $runs each, $n files a run" "gio trash" "$(median <"$work/gio.ns")" \
    "quentaapp" "$(median <"$work/app.ns")" "$4"
  if [ "${STRACE:-0}" = 1 ]; then
    dir=$(make_files "$n" "strace-$n-$busy")
    [ "$busy" = 0 ] || start_writer
    TRACE="strace -c -f -o $work/strace.txt" trash_with "$n" "$dir" app >/dev/null
    [ "$busy" = 0 ] || stop_writer
    grep -E 'calls|fsync|fdatasync|sync|renameat|linkat|openat|total' "$work/strace.txt" | head -20
  fi
}

run_case "quiet disk" "$count" 0 "at most 1.0x"
run_case "another program writing ${busy_mb} MB" 10 1 "at most 2x"

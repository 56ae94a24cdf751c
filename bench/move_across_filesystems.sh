#!/bin/sh
# Times a headless `quentaapp` paste of one 200 MB folder of mixed file sizes (2,000 small files,
# three large ones, one sparse file) from /dev/shm to the work disk, side by side with `mv` of the
# same tree followed by `sync -f` of the destination and with `cp -a` of it, and prints the
# medians and the ratios. The paste runs once with standard error on a pseudo-terminal (drawing
# its progress line) and once without, which gives the cost of the progress reporting.
#   bench/move_across_filesystems.sh [RUNS]   (default 5; build the default preset first)
# SOURCE_BASE (default /dev/shm) and TMPDIR (default /tmp) choose the two filesystems.
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
runs="${1:-5}"
app="$(realpath "${QUENTAAPP:-build/default/bin/quentaapp}")"
[ -x "$app" ] || { echo "build the default preset first: $app is missing" >&2; exit 1; }

sources="$(mktemp -d "${SOURCE_BASE:-/dev/shm}/quenta-move-bench-XXXXXX")"
work="$(mktemp -d "${TMPDIR:-/tmp}/quenta-move-bench-XXXXXX")"
trap 'rm -rf "$sources" "$work"' EXIT
[ "$(stat -f -c %i "$sources")" != "$(stat -f -c %i "$work")" ] ||
  { echo "$sources and $work are on one filesystem" >&2; exit 1; }
export HOME="$work/home" XDG_STATE_HOME="$work/home/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

# The tree, about 200 MB: 2,000 files of 1.6 KB and 60 KB in 20 folders (26 MB), 20 files of
# 2 MB, three of 40 MB, and a 1 GiB sparse file holding 16 MiB of data.
make_tree() {
  mkdir "$1"
  d=0
  while [ "$d" -lt 20 ]; do
    mkdir "$1/dir$d"
    (cd "$1/dir$d" && head -c 130000 /dev/urandom | split -b 1625 -a 2 - small &&
      head -c 1200K /dev/urandom | split -b 60K -a 2 - medium)
    d=$((d + 1))
  done
  mkdir "$1/photos"
  (cd "$1/photos" && head -c 40M /dev/urandom | split -b 2M -a 2 - photo)
  for i in 1 2 3; do head -c 40M /dev/urandom >"$1/large$i.bin"; done
  truncate -s 1G "$1/disk.img"
  dd if=/dev/urandom of="$1/disk.img" bs=1M count=16 seek=500 conv=notrunc status=none
}

cut_tree() {
  store="$XDG_RUNTIME_DIR/quenta-pasteboard"
  mkdir -p "$store"
  chmod 700 "$store"
  type="com.local.QuentaApp.cutPaths"
  printf 'quenta-pasteboard 1\n%d:%d\n%s%s' "${#type}" "${#1}" "$type" "$1" >"$store/entries"
}

now() { date +%s%N; }

# One line per run: nanoseconds taken by one side (mv, cp, app, app-tty).
time_runs() {
  r=0
  while [ "$r" -lt "$runs" ]; do
    src="$sources/$1-$r"
    dst="$work/$1-$r"
    make_tree "$src"
    mkdir "$dst"
    sync
    case "$1" in
      mv)
        start=$(now); mv "$src" "$dst/"; sync -f "$dst"; end=$(now) ;;
      cp)
        start=$(now); cp -a "$src" "$dst/"; end=$(now) ;;
      app)
        cut_tree "$src"
        start=$(now); "$app" "quentaapp://pasteCut?path=$dst" </dev/null >/dev/null 2>&1; end=$(now) ;;
      app-tty)
        cut_tree "$src"
        start=$(now)
        script -qec "'$app' 'quentaapp://pasteCut?path=$dst'" /dev/null </dev/null >/dev/null
        end=$(now) ;;
    esac
    [ -f "$dst/$1-$r/disk.img" ] || { echo "$1 moved nothing" >&2; exit 1; }
    [ "$(du -s -m "$dst/$1-$r/disk.img" | cut -f1)" -lt 64 ] ||
      { echo "$1 did not keep the sparse file sparse" >&2; exit 1; }
    echo $((end - start))
    rm -rf "$src" "$dst"
    r=$((r + 1))
  done
}

time_runs mv >/dev/null 2>&1 || true  # warms the caches of both filesystems
mv_ns=$(time_runs mv | median)
cp_ns=$(time_runs cp | median)
app_ns=$(time_runs app | median)
tty_ns=$(time_runs app-tty | median)

report "$runs each, one 200 MB tree per run" "mv+sync" "$mv_ns" "quentaapp" "$app_ns" "at most 1.0x"
report "$runs each" "cp -a" "$cp_ns" "quentaapp" "$app_ns" "at most 1.5x"
report "$runs each" "quentaapp" "$app_ns" "quentaapp on a tty" "$tty_ns" "progress under 2%"

#!/bin/sh
# Times a headless `quentaapp` paste of 1,000 small cut files into another folder of the same
# filesystem (process start to exit) side by side with `mv` of the same files, and prints the
# medians and their ratio.
#   bench/paste_vs_mv.sh [RUNS] [FILES]   (defaults 5 and 1000; build the default preset first)
# The work folder is made under $TMPDIR (default /tmp); both sides move within that filesystem.
# With DEST_BASE set to a folder on another filesystem (for example /dev/shm), the destination
# folders are made there and both sides copy each file across and remove the original.
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
runs="${1:-5}"
count="${2:-1000}"
app="${QUENTAAPP:-build/default/bin/quentaapp}"
[ -x "$app" ] || { echo "build the default preset first: $app is missing" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/quenta-paste-bench-XXXXXX")"
destinations="$(mktemp -d "${DEST_BASE:-$work}/quenta-paste-bench-dst-XXXXXX")"
trap 'rm -rf "$work" "$destinations"' EXIT
export HOME="$work/home" XDG_STATE_HOME="$work/home/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

# Fills $1 with $count small files.
make_files() {
  mkdir "$1"
  i=0
  while [ "$i" -lt "$count" ]; do
    printf 'file %d\n' "$i" >"$1/file $i.txt"
    i=$((i + 1))
  done
}

# Puts the paths of the files in $1 on the pasteboard store as a cut would, in the store's own
# format: a magic line, then "<type length>:<text length>\n" and the type's and the text's bytes.
cut_files() {
  text="$work/cut.txt"
  i=0
  while [ "$i" -lt "$count" ]; do
    [ "$i" -gt 0 ] && printf '\n'
    printf '%s' "$1/file $i.txt"
    i=$((i + 1))
  done >"$text"
  store="$XDG_RUNTIME_DIR/quenta-pasteboard"
  mkdir -p "$store"
  chmod 700 "$store"
  type="com.local.QuentaApp.cutPaths"
  {
    printf 'quenta-pasteboard 1\n%d:%d\n%s' "${#type}" "$(wc -c <"$text")" "$type"
    cat "$text"
  } >"$store/entries"
}

now() { date +%s%N; }

# One line per run: nanoseconds taken by the command.
time_runs() {
  r=0
  while [ "$r" -lt "$runs" ]; do
    src="$work/$1-src-$r"
    dst="$destinations/$1-dst-$r"
    make_files "$src"
    mkdir "$dst"
    if [ "$1" = app ]; then
      cut_files "$src"
      start=$(now)
      "$app" "quentaapp://pasteCut?path=$dst" >/dev/null
      end=$(now)
    else
      start=$(now)
      mv "$src"/* "$dst"/
      end=$(now)
    fi
    moved=$(ls "$dst" | wc -l)
    [ "$moved" -eq "$count" ] || { echo "$1 moved $moved of $count files" >&2; exit 1; }
    echo $((end - start))
    rm -rf "$src" "$dst"
    r=$((r + 1))
  done
}


mv_ns=$(time_runs mv | median)
app_ns=$(time_runs app | median)

report "$runs each, $count files per run" "mv" "$mv_ns" "quentaapp" "$app_ns" "at most 1.2x"

#!/bin/sh
# Each manual page renders with man-db without a warning and names everything its program's
# --help names (every option, request and kind listed there) and every selector of the menu.
# Usage: man_pages_test.sh BIN_DIR MAN_DIR (the build tree's programs and compressed pages).
set -eu
bin_dir="$1"
man_dir="$2"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

# A home of its own, whose defaults hold off the extension's update check, so that asking
# quenta-finder for its menu neither reaches the network nor touches the user's files.
mkdir -p "$scratch/home/.config/QuentaFinderExtension"
# shellcheck disable=SC2016 # "$date" is the defaults file's key for a date
printf '{"UpdateNextCheckDate": {"$date": 32503680000000}}\n' \
  >"$scratch/home/.config/QuentaFinderExtension/defaults.json"
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR \
    -u XDG_CACHE_HOME HOME="$scratch/home" "$@"
}

# The words PROGRAM --help names: its options, the request names and the values after
# "KIND is one of".
help_words() {
  run "$bin_dir/$1" --help >"$scratch/help"
  grep -o -- '--[a-z][a-z-]*' "$scratch/help" || true
  grep -o 'quentaapp://[A-Za-z]*' "$scratch/help" || true
  { tr '\n' ' ' <"$scratch/help"; echo; } |
    sed -n 's/.*KIND is one of:\{0,1\} \([^.;]*\)[.;].*/\1/p' | tr -s ', ' '\n'
}

# The selectors of the menu quenta-finder prints.
menu_selectors() {
  if ! run "$bin_dir/quenta-finder" --targeted "$scratch" menu >"$scratch/menu"; then
    echo "FAIL: quenta-finder menu" >&2; failures=$((failures + 1))
  fi
  sed -n 's/.* -> \([A-Za-z]*\).*/\1/p' "$scratch/menu"
}

for program in quentaapp quenta-finder; do
  page="$man_dir/$program.1.gz"
  if ! env -u MANOPT -u MANROFFOPT MANWIDTH=80 man --warnings -E UTF-8 -l "$page" \
    >"$scratch/rendered" 2>"$scratch/warnings"; then
    echo "FAIL: $program.1 does not render"; failures=$((failures + 1))
  fi
  if [ -s "$scratch/warnings" ] || ! grep -q "^NAME" "$scratch/rendered"; then
    echo "FAIL: $program.1 renders with warnings or without its NAME section:"
    cat "$scratch/warnings"; failures=$((failures + 1))
  fi

  # The page's source text without the roff escapes that words carry.
  gzip -dc "$page" | sed 's/\\-/-/g; s/\\f[BIRP]//g; s/\\&//g' >"$scratch/text"
  { help_words "$program"; [ "$program" != quenta-finder ] || menu_selectors; } >"$scratch/words"
  [ -s "$scratch/words" ] || { echo "FAIL: no words from $program"; failures=$((failures + 1)); }
  sort -u "$scratch/words" >"$scratch/unique"
  while read -r word; do
    if ! grep -qwF -- "$word" "$scratch/text"; then
      echo "FAIL: $program.1 does not name $word"; failures=$((failures + 1))
    fi
  done <"$scratch/unique"
done
[ "$failures" -eq 0 ]

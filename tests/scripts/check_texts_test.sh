#!/bin/sh
# The check of the interface's texts passes on the tree as it stands and fails, naming the text, on
# a Chinese text shown without a mark, in a scratch copy of src/, and on a catalogue that still
# speaks of another platform's file manager.
set -eu
source_dir="$1"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$source_dir/scripts/check-texts" "$source_dir" || { echo "FAIL: the tree itself"; exit 1; }

mkdir "$scratch/scripts"
cp -R "$source_dir/src" "$source_dir/po" "$scratch/"
printf '%s\n' 'void unmarked(quenta::Alerts& a) { a.runModal({"", "无标记的提示", ""}); }' \
  >>"$scratch/src/core/app/content_view.cpp"
if "$source_dir/scripts/check-texts" "$scratch" 2>"$scratch/errors"; then
  echo "FAIL: an unmarked text passed"
  exit 1
fi
grep -q '无标记的提示' "$scratch/errors" || { echo "FAIL: the text is not named:"; cat "$scratch/errors"; exit 1; }

cp -R "$source_dir/src" "$scratch/src-clean"
rm -rf "$scratch/src" && mv "$scratch/src-clean" "$scratch/src"
sed -i 's/^msgstr "Restart the File Manager"$/msgstr "Restart Finder"/' "$scratch/po/en.po"
if "$source_dir/scripts/check-texts" "$scratch" 2>"$scratch/errors"; then
  echo "FAIL: a catalogue naming another platform's file manager passed"
  exit 1
fi
grep -q 'Restart Finder' "$scratch/errors" || { echo "FAIL: not named:"; cat "$scratch/errors"; exit 1; }
echo "PASS"

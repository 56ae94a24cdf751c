#!/bin/sh
# Stages `cmake --install` of a build folder under a temporary DESTDIR and checks the layout a real
# install gets: the module in Nautilus's extension folder and in the application's plug-ins folder,
# each starting the installed quentaapp; quentaapp; its desktop entry, valid and claiming the
# quentaapp scheme, with the scheme-handler cache refreshed.
# Usage: nautilus_install_test.sh BUILD_DIR
set -eu
build="$1"
stage="$(mktemp -d "${TMPDIR:-/tmp}/quenta-install-XXXXXX")"
trap 'rm -rf "$stage"' EXIT INT TERM
failures=0
check() {  # check DESCRIPTION COMMAND...
  description="$1"; shift
  if "$@"; then
    echo "ok: $description"
  else
    echo "FAILED: $description"; failures=$((failures + 1))
  fi
}

cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}
prefix="$(cache_value CMAKE_INSTALL_PREFIX)"
extensiondir="$(cache_value QUENTA_NAUTILUS_EXTENSION_DIR)"
app="$(cache_value QUENTA_INSTALLED_MAIN_APP_PATH)"

DESTDIR="$stage" cmake --install "$build" >"$stage.log" 2>&1 || { cat "$stage.log"; rm -f "$stage.log"; exit 1; }
rm -f "$stage.log"

check "extension folder is pkg-config's" \
  test "$extensiondir" = "$(pkg-config --variable=extensiondir libnautilus-extension-4)"
for module in "$stage$extensiondir/libquenta-nautilus.so" "$stage$prefix/lib/quentaapp/plugins/libquenta-nautilus.so"; do
  check "module installed: $module" test -f "$module"
  check "module starts the installed quentaapp" grep -q -a -F "$app" "$module"
  check "module does not start the build tree's quentaapp" sh -c "! grep -q -a -F '$build/bin/quentaapp' '$module'"
  check "module exports the three entry points" sh -c "nm -D --defined-only '$module' | grep -c -E ' nautilus_module_(initialize|shutdown|list_types)\$' | grep -qx 3"
done
check "quentaapp installed" test -x "$stage$app"
entry="$stage$prefix/share/applications/quentaapp.desktop"
check "desktop entry installed" test -f "$entry"
check "desktop entry is valid" desktop-file-validate "$entry"
check "desktop entry starts the installed quentaapp with the URL" grep -qx "Exec=$app %u" "$entry"
check "desktop entry claims the quentaapp scheme" grep -qx 'MimeType=x-scheme-handler/quentaapp;' "$entry"
if command -v update-desktop-database >/dev/null 2>&1; then
  check "scheme-handler cache names the entry" \
    grep -q '^x-scheme-handler/quentaapp=quentaapp.desktop' "$stage$prefix/share/applications/mimeinfo.cache"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all install checks passed"

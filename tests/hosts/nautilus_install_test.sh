#!/bin/sh
# Stages `cmake --install` of a build folder under a temporary DESTDIR and checks the layout a real
# install gets: each file manager's module (GNOME Files, Nemo, Caja, Thunar) in its extension
# folder and in the application's plug-ins folder, each starting the installed quentaapp and
# exporting only its three entry points, the GTK 3 ones without GTK 4; Dolphin's plug-in, when it
# is built; quentaapp and its private objects (shell and HTTP modules) under LIBDIR/quenta, no
# shared object executable, only the HTTP module linking libcurl; its desktop entry, valid and claiming the quentaapp scheme, with no
# scheme-handler cache staged (the desktop-file-utils trigger builds it where it is installed).
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
app="$(cache_value QUENTA_INSTALLED_MAIN_APP_PATH)"
libdir="$(cache_value CMAKE_INSTALL_LIBDIR)"
case "$libdir" in /*) ;; *) libdir="$prefix/$libdir" ;; esac
private="$libdir/quenta"

DESTDIR="$stage" cmake --install "$build" >"$stage.log" 2>&1 || { cat "$stage.log"; rm -f "$stage.log"; exit 1; }
rm -f "$stage.log"

# HOST PKG-CONFIG-PACKAGE VARIABLE ENTRY-POINT-PATTERN, one a line.
while read -r host package variable entries; do
  upper="$(echo "$host" | tr a-z A-Z)"
  extensiondir="$(cache_value "QUENTA_${upper}_EXTENSION_DIR")"
  check "$host extension folder is pkg-config's" \
    test "$extensiondir" = "$(pkg-config --variable="$variable" "$package")"
  for module in "$stage$extensiondir/libquenta-$host.so" "$stage$private/plugins/libquenta-$host.so"; do
    check "module installed without the executable bit: $module" sh -c "test -f '$module' && test ! -x '$module'"
    check "module starts the installed quentaapp" grep -q -a -F "$app" "$module"
    check "module does not start the build tree's quentaapp" sh -c "! grep -q -a -F '$build/bin/quentaapp' '$module'"
    check "module exports only the three entry points" sh -c "nm -D --defined-only '$module' | grep -v ' A ' | grep -E ' ${entries}\$' | wc -l | grep -qx 3 && nm -D --defined-only '$module' | grep -v ' A ' | wc -l | grep -qx 3"
    if [ "$host" != nautilus ]; then
      check "module links no GTK 4" sh -c "! objdump -p '$module' | grep -q 'NEEDED.*libgtk-4'"
    fi
  done
done <<EOF
nautilus libnautilus-extension-4 extensiondir nautilus_module_(initialize|shutdown|list_types)
nemo libnemo-extension extensiondir nemo_module_(initialize|shutdown|list_types)
caja libcaja-extension extensiondir caja_module_(initialize|shutdown|list_types)
thunar thunarx-3 extensionsdir thunar_extension_(initialize|shutdown|list_types)
EOF
# Dolphin's plug-in, where it was built: in Qt's plug-ins folder and the application's, not
# executable, starting the installed quentaapp, showing only Qt's two plug-in entry points.
dolphindir="$(cache_value QUENTA_DOLPHIN_PLUGIN_DIR)"
if [ -n "$dolphindir" ]; then
  for plugin in "$stage$dolphindir/quenta_dolphin.so" "$stage$private/plugins/quenta_dolphin.so"; do
    check "plug-in installed without the executable bit: $plugin" sh -c "test -f '$plugin' && test ! -x '$plugin'"
    check "plug-in starts the installed quentaapp" grep -q -a -F "$app" "$plugin"
    check "plug-in exports only Qt's two entry points" sh -c "nm -D --defined-only '$plugin' | grep -v ' A ' | awk '{print \$3}' | sort | tr '\n' ' ' | grep -qx 'qt_plugin_instance qt_plugin_query_metadata '"
  done
fi
check "quentaapp installed" test -x "$stage$app"
for module in quentaapp-shell.so libquenta-http-curl.so; do
  check "private module installed without the executable bit: $module" \
    sh -c "test -f '$stage$private/$module' && test ! -x '$stage$private/$module'"
done
# Only the HTTP module links libcurl: it is a package of its own, the application loads it lazily.
for program in "$stage$app" "$stage$prefix/bin/quenta-finder" "$stage$private/quentaapp-shell.so"; do
  check "links no libcurl: $program" sh -c "! objdump -p '$program' | grep -q 'NEEDED.*libcurl'"
done
entry="$stage$prefix/share/applications/quentaapp.desktop"
check "desktop entry installed" test -f "$entry"
check "desktop entry is valid" desktop-file-validate "$entry"
check "desktop entry starts the installed quentaapp with the URL, marked as from outside" \
  grep -qx "Exec=$app --from-scheme-handler -- %u" "$entry"
check "desktop entry claims the quentaapp scheme" grep -qx 'MimeType=x-scheme-handler/quentaapp;' "$entry"
check "no scheme-handler cache staged" test ! -e "$stage$prefix/share/applications/mimeinfo.cache"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all install checks passed"

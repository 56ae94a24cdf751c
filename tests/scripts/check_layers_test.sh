#!/bin/sh
# The layering check passes on the tree as it stands and fails, naming the file, on each kind of
# include that runs against the layers. Each case adds one line to a file of a scratch copy of src/
# (or makes a new file).
set -eu
source_dir="$1"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$source_dir/scripts/check-layers" "$source_dir" || { echo "FAIL: the tree itself"; exit 1; }
cp -R "$source_dir/src" "$scratch/src"

failures=0
# expect_refused FILE LINE: the check fails on FILE once LINE is added to it (a new file when
# FILE is not in the tree).
expect_refused() {
  mkdir -p "$(dirname "$scratch/src/$1")"
  printf '%s\n' "$2" >>"$scratch/src/$1"
  if "$source_dir/scripts/check-layers" "$scratch" >"$scratch/out" 2>&1 ||
     ! grep -q "^src/$1:" "$scratch/out"; then
    echo "FAIL: $1 with $2 was not refused"; cat "$scratch/out"; failures=$((failures + 1))
  fi
  if [ -f "$source_dir/src/$1" ]; then
    cp "$source_dir/src/$1" "$scratch/src/$1"
  else
    rm -r "$scratch/src/$1"
  fi
}
expect_refused core/shared/request_url.cpp '#include <unistd.h>'
expect_refused core/requests/quenta_kind.cpp '#include <sys/stat.h>'
expect_refused core/app/content_view.cpp '#include <fcntl.h>'
expect_refused core/extension/menu_model.cpp '#include <glib.h>'
expect_refused core/app/update_status.cpp '#include <gtkmm/window.h>'
expect_refused core/shared/update_checker.cpp '#include <curl/curl.h>'
expect_refused core/extension/finder_sync.cpp '#include <nautilus-extension.h>'
expect_refused ports/file_system.hpp '#include <QString>'
expect_refused ports/pasteboard.hpp '#include <nlohmann/json.hpp>'
expect_refused ports/defaults.hpp '#include "core/shared/file_paths.hpp"'
expect_refused core/shared/file_paths.cpp '#include "core/requests/quenta_kind.hpp"'
expect_refused core/requests/quenta_kind.cpp '#include "adapters/linux/posix/unique_fd.hpp"'
expect_refused core/app/app_delegate.cpp '#include "hosts/quentaapp_shell.hpp"'
expect_refused adapters/linux/posix/trash_posix.cpp '#include "hosts/quentaapp_shell.hpp"'
# Each adapter folder: only the C library, its own library and the folders below it.
expect_refused adapters/linux/posix/own_files.cpp '#include <gtk/gtk.h>'
expect_refused adapters/linux/posix/own_files.cpp '#include "adapters/linux/gio/gio_error.hpp"'
expect_refused adapters/linux/gio/gio_error.cpp '#include <gtkmm/window.h>'
expect_refused adapters/linux/gio/gio_error.cpp '#include "adapters/linux/gtk/gtk_alerts.hpp"'
expect_refused adapters/linux/curl/http_client_curl.cpp '#include <glib.h>'
expect_refused adapters/linux/gtk/gtk_alerts.cpp '#include <curl/curl.h>'
expect_refused adapters/linux/gtk3/gtk3_clipboard_pasteboard.cpp '#include <QString>'
expect_refused adapters/linux/nautilus/desktop_clipboard_pasteboard.cpp \
  '#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"'
expect_refused adapters/linux/qt/qt_clipboard_pasteboard.cpp '#include <gtk/gtk.h>'
expect_refused adapters/linux/installer_table_linux.cpp '#include <glib.h>'
expect_refused adapters/linux/kde/new_adapter.cpp '#include <string>'
# No host includes another host's files.
expect_refused hosts/nemo/quenta_nemo_module.cpp '#include "hosts/caja/quenta_caja_module.cpp"'
expect_refused hosts/nautilus/quenta_nautilus_module.cpp '#include "hosts/quentaapp_shell.hpp"'
expect_refused hosts/quenta_finder_main.cpp '#include "hosts/quentaapp_shell.hpp"'
expect_refused hosts/quentaapp_main.cpp '#include "hosts/thunar/quenta_thunar_module.cpp"'
[ "$failures" -eq 0 ] && echo "ok: the layering check refuses every kind of wrong include"
exit "$failures"

#!/usr/bin/env bash
# Starts the built editor in its own folder, where default.hrh and dlazdice/default.bmp lie.
set -euo pipefail
build_dir="${1:-build/default}"
app_dir="$build_dir/app"
if [ ! -x "$app_dir/ornamo" ]; then
  echo "The editor is not built yet; the engine, its tests and ornamo-render are in $build_dir."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname -s)" = Linux ]; then
  # One line instead of Qt's abort; not a build failure, so make adds nothing to it.
  echo "ornamo: Nemôžem otvoriť displej: nie je nastavená premenná DISPLAY ani WAYLAND_DISPLAY."
  exit 0
fi
cd "$app_dir"
exec ./ornamo

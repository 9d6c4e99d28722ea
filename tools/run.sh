#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tamarind. Arguments go to the
# program unchanged: "tools/run.sh 12 1 1" or "tools/run.sh ~/photo.jpg".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/deps.sh"
"$root/tools/build.sh" >&2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "tamarind: no display; start it from a desktop session or under Xvfb (DISPLAY=:99)" >&2
  exit 1
fi
exec "${TAMARIND_BUILD_DIR:-$root/build}/tamarind" "$@"

#!/usr/bin/env bash
# Builds the program and starts it on the demo database: installs what is missing,
# generates the demo central database once, fills the local DB folder through the
# program's own synchronisation once, then starts the program with the central link.
# Arguments are passed on to the program. Without a display it renders a screenshot.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh

build="$root/build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" --target zelvorin zelvorin-demo-gen

program="$build/zelvorin"
central="$build/demo-central.sqlite"
db="$build/DB"

if [ ! -f "$central" ]; then
  echo "Generating the demo central database: $central"
  rm -f "$central.new"
  "$build/zelvorin-demo-gen" "$central.new"
  mv "$central.new" "$central"
fi

if [ ! -d "$db" ]; then
  # Built aside and moved into place, so that an interrupted run leaves no half-filled DB.
  echo "Filling the local database from the central one: $db"
  rm -rf "$db.new"
  "$program" --sync --central "$central" --db "$db.new"
  mv "$db.new" "$db"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot="$build/zelvorin.png"
  echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): rendering the main window to $shot instead;" \
       "use '$program --central $central --screenshot FILE' for another picture."
  exec "$program" --central "$central" --screenshot "$shot" "$@"
fi

exec "$program" --central "$central" "$@"

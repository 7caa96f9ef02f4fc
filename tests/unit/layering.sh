#!/usr/bin/env bash
# The core's includes point down only: maths <- image <- data <- world <- host
# <- config, with platform below them all (so it includes no other layer);
# and nothing under src/ includes a toolkit, network, windowing or compositor
# header: those live with the programs' adapters in app/ (GLib only in the
# preferences store).
set -u
src=${1:-$(dirname "$0")/../../src}
rank() { case $1 in platform) echo 0;; maths) echo 1;; image) echo 2;; data) echo 3;; world) echo 4;;
  host) echo 5;; config) echo 6;; *) echo 99;; esac; }
bad=0
while IFS=: read -r file line text; do
  from=$(echo "$file" | sed -E 's|.*src/([^/]+)/.*|\1|')
  to=$(echo "$text" | sed -E 's|.*#include "([^/]+)/.*|\1|')
  if [ "$(rank "$to")" -gt "$(rank "$from")" ]; then echo "$file:$line: $from includes $to"; bad=1; fi
done < <(grep -rn '#include "[a-z]*/' "$src" --include=*.h --include=*.cpp)
if grep -rn -E '#include <(SDL|gtk|gdk|glib|gio|curl|plist|X11|EGL|GL/glx|wayland)' "$src" --include=*.h --include=*.cpp |
   grep -v "$src/platform/ScreenSaverDefaults.cpp:.*<glib"; then
  echo "src/ includes a toolkit, network, windowing or compositor library's header (GLib only in the store)"; bad=1
fi
exit $bad

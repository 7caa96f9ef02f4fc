#!/usr/bin/env bash
# The core's includes point down only: maths <- image <- data <- world <- host
# <- config, with platform below them all (so it includes no other layer);
# and nothing under src/ includes a toolkit, network, windowing or compositor
# header: those live with the programs' adapters in app/ (GLib only in the
# preferences store).
set -u
src=${1:-$(dirname "$0")/../../src}
layers=" platform maths image data world host config "
bad=0
while IFS=: read -r file line text; do
  from=${file#"$src"/} to=${text#*\"}
  from=${from%%/*} to=${to%%/*}
  # The layers from may include: its own and those below it.
  below="${layers%%" $from "*} $from "
  [[ $below == *" $to "* ]] || { echo "$file:$line: $from includes $to"; bad=1; }
done < <(grep -rn '#include "[a-z]*/' "$src" --include=*.h --include=*.cpp)
platform='#include <(SDL|gtk|gdk|glib|gio|curl|plist|X11|EGL|GL/glx|wayland)'
if grep -rn -E "$platform" "$src" --include=*.h --include=*.cpp |
   grep -v "$src/platform/ScreenSaverDefaults.cpp:.*<glib"; then
  echo "src/ includes a toolkit, network, windowing or compositor library's header" \
    "(GLib only in the store)"
  bad=1
fi
exit $bad

#!/usr/bin/env bash
# Which program links what: the saver, which XScreenSaver starts at every
# blank, loads no toolkit and no network library; the settings window loads
# no SDL. Says which library is where it should not be.
#
# usage: linkage.sh CORVAN3D CORVAN3D-SETTINGS
set -u
bad=0
refuse() {  # program pattern what
  local found
  found=$(ldd "$1" | awk '{ print $1 }' | grep -E "$2")
  [ -z "$found" ] && return
  echo "$(basename "$1") links $3: $(echo $found)"
  bad=1
}
refuse "$1" '^lib(gtk-3|gdk-3|curl|plist)' "the settings window's toolkit or network"
refuse "$2" '^libSDL2' "SDL"
[ $bad -eq 0 ] && echo "corvan3d links no GTK, libcurl or libplist; corvan3d-settings no SDL"
exit $bad

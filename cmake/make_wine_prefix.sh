#!/bin/sh
# Sets up a Wine prefix quietly: make_wine_prefix.sh STAMP, with WINE, WINESERVER and WINEPREFIX
# in the environment (the build sets them). Runs "wineboot --init" and touches STAMP when it
# worked; Wine's output is shown only when it did not.
#
# The prefix is for programs and tests that nobody watches: windows go to Wine's null graphics
# driver (they exist, draw into memory and answer messages, but no X server is needed), and
# Wine's own fonts (Debian's fonts-wine: its "MS Sans Serif", "System", "Tahoma", and Marlett
# for the caption buttons) stand in the prefix's Fonts folder, so that dialogs get Windows'
# metrics and pictures of them look like Windows.
stamp=$1
log=$stamp.log
fail() {
  cat "$log" >&2
  echo "Setting up the Wine prefix failed (see above)" >&2
  exit 1
}
"$WINE" wineboot --init >"$log" 2>&1 || fail
"$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1 || fail
if [ -d /usr/share/wine/fonts ]; then
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" || fail
fi
# Wine's desktop process came up without a graphics driver while the prefix was made; it takes
# the null driver when it starts again.
"$WINESERVER" -k >>"$log" 2>&1
"$WINESERVER" -w >>"$log" 2>&1
touch "$stamp"

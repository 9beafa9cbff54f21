#!/bin/sh
# Sets up a Wine prefix quietly: make_wine_prefix.sh STAMP WINE-COMMAND...
# Runs "wineboot --init" with the given command (which names the prefix in its environment)
# and touches STAMP when it worked; Wine's output is shown only when it did not.
stamp=$1
shift
log=$stamp.log
if "$@" wineboot --init >"$log" 2>&1; then
  touch "$stamp"
else
  cat "$log" >&2
  echo "Setting up the Wine prefix failed (see above)" >&2
  exit 1
fi

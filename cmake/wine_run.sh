#!/bin/sh
# Runs a program of the Windows build under Wine: wine_run.sh PROGRAM [ARGUMENTS...], with
# WINE, WINESERVER and WINEPREFIX in the environment (the build sets them).
#
# Wine's server and its services outlive the program that starts them and keep its output
# streams open until they end; CTest and Ninja read a program's output to its end, so they
# would wait for them after every test. The server is therefore started first, apart from
# any output, and kept for a minute after its last program; and a first program that does
# nothing (cmd.exe) brings Wine's services up apart from any output too.
if "$WINESERVER" -p60 </dev/null >/dev/null 2>&1; then
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
fi
exec "$WINE" "$@"

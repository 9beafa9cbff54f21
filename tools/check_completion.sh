#!/usr/bin/env bash
# Checks the bash completion of korva-updater-cli: completes a set of command lines with the
# script given as $1 (as bash-completion would load it) and compares what it offers.
set -uo pipefail
script=${1:?usage: check_completion.sh COMPLETION_SCRIPT}

source /usr/share/bash-completion/bash_completion
source "$script"
complete -p korva-updater-cli >/dev/null || { echo "completion: $script registers nothing"; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && touch fw.bin FW.BIN module.dfu cab.wav notes.txt libkorva-dfu.so && mkdir sub

failures=0
# expect "WORDS..." "OFFERED...": the last word is the one being completed.
expect() {
  local -a words
  read -r -a words <<<"$1"
  [[ $1 == *' ' ]] && words+=('')
  COMP_WORDS=("${words[@]}")
  COMP_CWORD=$((${#words[@]} - 1))
  COMP_LINE=$1
  COMP_POINT=${#1}
  COMPREPLY=()
  _korva_updater_cli
  local offered
  offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  if [[ $offered != "$2" ]]; then
    echo "completion of '$1': offered '$offered', expected '$2'"
    failures=$((failures + 1))
  fi
}

expect "korva-updater-cli " "audio bluetooth flash list status update"
expect "korva-updater-cli up" "update"
expect "korva-updater-cli --json " "audio bluetooth flash list status update"
expect "korva-updater-cli flash " "battery dsp mcu"
expect "korva-updater-cli flash dsp " "FW.BIN fw.bin sub"
expect "korva-updater-cli flash dsp fw.bin " ""
expect "korva-updater-cli audio --slot " "1 2 3 4 5 6 7"
expect "korva-updater-cli audio --slot 3 " "cab.wav sub"
expect "korva-updater-cli bluetooth " "FW.BIN fw.bin module.dfu sub"
expect "korva-updater-cli status --log " "FW.BIN cab.wav fw.bin libkorva-dfu.so module.dfu notes.txt sub"
expect "korva-updater-cli update --" "--device=usb --dfu-library= --help --json --log --path --simulate --version --yes"
expect "korva-updater-cli --path /dev/hidraw3 " "audio bluetooth flash list status update"
expect "korva-updater-cli bluetooth --dfu-library=" "libkorva-dfu.so sub"
expect "korva-updater-cli audio --s" "--simulate --slot"

[ "$failures" -eq 0 ] || exit 1
echo "completion: every command line completes as expected"

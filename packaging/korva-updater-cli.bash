# bash completion for korva-updater-cli: its commands, options, the audio slots 1 to 7, and
# files with the extensions each command's file dialog offers in the window program (and
# shared libraries for --dfu-library, the amps' device nodes for --path).

# The setting an option sets: its name without a value, with an alias and the options that
# exclude each other (--simulate, --device) under one name.
_korva_updater_cli_setting() {
  case ${1%%=*} in
    -y | --yes) echo yes ;;
    --simulate | --device) echo device ;;
    *) echo "${1%%=*}" ;;
  esac
}

_korva_updater_cli() {
  local cur prev words cword split
  _init_completion -s || return

  case $prev in
    --slot)
      COMPREPLY=($(compgen -W '1 2 3 4 5 6 7' -- "$cur"))
      return ;;
    --log)
      _filedir
      return ;;
    --path)
      COMPREPLY=($(compgen -G "${cur:-/dev/hidraw}*"))
      return ;;
    --dfu-library)
      _filedir so
      return ;;
    --device)
      COMPREPLY=($(compgen -W 'usb' -- "$cur"))
      return ;;
  esac
  $split && return

  # The words that are not options (the command and its operands), and what the options on the
  # line already set: each setting may be given once.
  local operands=() settings=' ' i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --slot | --log | --path | --dfu-library | --device)
        settings+="$(_korva_updater_cli_setting "${words[i]}") "
        # The value follows, after a "=" that the shell made a word of its own, or alone.
        if [[ ${words[i + 1]-} == = ]]; then ((i += 2)); else ((i++)); fi ;;
      -*) settings+="$(_korva_updater_cli_setting "${words[i]}") " ;;
      *) operands+=("${words[i]}") ;;
    esac
  done
  local command=${operands[0]-}

  if [[ $cur == -* ]]; then
    # What the program takes here: every option before the command, after it the command's
    # own, each setting once; --help and --version anywhere.
    local options='--json --simulate --device=usb --dfu-library= --log --path' option offered=()
    case $command in
      '') options+=' --yes -y --slot' ;;
      update) options+=' --yes -y' ;;
      audio) options+=' --slot' ;;
    esac
    for option in $options; do
      [[ $settings == *" $(_korva_updater_cli_setting "$option") "* ]] || offered+=("$option")
    done
    COMPREPLY=($(compgen -W "${offered[*]} --help -h --version" -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi

  case $command in
    '')
      COMPREPLY=($(compgen -W 'status update flash audio bluetooth list' -- "$cur")) ;;
    flash)
      if ((${#operands[@]} == 1)); then
        COMPREPLY=($(compgen -W 'mcu dsp battery' -- "$cur"))
      elif ((${#operands[@]} == 2)); then
        _filedir bin
      fi ;;
    audio)
      ((${#operands[@]} == 1)) && _filedir wav ;;
    bluetooth)
      ((${#operands[@]} == 1)) && _filedir '@(bin|dfu)' ;;
  esac
} &&
  complete -F _korva_updater_cli korva-updater-cli

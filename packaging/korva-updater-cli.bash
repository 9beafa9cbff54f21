# bash completion for korva-updater-cli: its commands, options, the audio slots 1 to 7, and
# files with the extensions each command's file dialog offers in the window program (and
# shared libraries for --dfu-library, the amps' device nodes for --path).

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

  # The words that are not options: the command and its operands.
  local operands=() i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --slot | --log | --path) ((i++)) ;;
      -*) ;;
      *) operands+=("${words[i]}") ;;
    esac
  done
  local command=${operands[0]-}

  if [[ $cur == -* ]]; then
    local options='--json --yes -y --simulate --device=usb --dfu-library= --log --path --help -h --version'
    [[ $command == audio ]] && options+=' --slot'
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
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

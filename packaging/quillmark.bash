# bash completion for quillmark                              -*- shell-script -*-

_quillmark() {
  local cur prev words cword
  _init_completion || return

  case $prev in
    --settings | --output | --load | --save | --assume-filename)
      _filedir
      return
      ;;
    --encoding)
      COMPREPLY=($(compgen -W 'auto utf-8 gbk' -- "$cur"))
      return
      ;;
    --format)
      COMPREPLY=($(compgen -W 'text json' -- "$cur"))
      return
      ;;
    --columns)
      COMPREPLY=($(compgen -W 'chars bytes' -- "$cur"))
      return
      ;;
    --line | --lines | --select)
      return
      ;;
  esac

  local i subcommand=""
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      comment | header | delete | settings)
        subcommand=${words[i]}
        break
        ;;
      --settings) ((i++)) ;;
    esac
  done

  local file_options='--output --encoding --assume-filename --format --columns'
  case $subcommand in
    "")
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--settings --verbose --help --version' -- "$cur"))
      else
        COMPREPLY=($(compgen -W 'comment header delete settings' -- "$cur"))
      fi
      ;;
    comment | delete)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--line --lines --select $file_options --help" -- "$cur"))
      else
        _filedir '@(c|cc|cpp|cxx|c++|h|hh|hpp|hxx|h++|inl|idl)'
      fi
      ;;
    header)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$file_options --help" -- "$cur"))
      else
        _filedir '@(c|cc|cpp|cxx|c++|h|hh|hpp|hxx|h++|inl|idl)'
      fi
      ;;
    settings)
      COMPREPLY=($(compgen -W '--path --load --save --help' -- "$cur"))
      ;;
  esac
} && complete -F _quillmark quillmark

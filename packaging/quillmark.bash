# bash completion for quillmark                              -*- shell-script -*-

_quillmark() {
  local cur prev words cword
  _init_completion || return

  case $prev in
    --settings | --output | --load | --save | --check | --assume-filename)
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
    --parser)
      COMPREPLY=($(compgen -W 'keywords syntax' -- "$cur"))
      return
      ;;
    --kinds)
      COMPREPLY=($(compgen -W 'class struct union enum function member macro param-macro interface method method-impl' -- "$cur"))
      return
      ;;
    --line | --lines | --select | --jobs | -j)
      return
      ;;
  esac

  local i subcommand=""
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      comment | header | delete | settings | about | lsp | batch | refresh | check)
        subcommand=${words[i]}
        break
        ;;
      --settings | --parser) ((i++)) ;;
    esac
  done

  local file_options='--output --encoding --assume-filename --format --columns'
  case $subcommand in
    "")
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--settings --verbose --parser --help --version' -- "$cur"))
      else
        COMPREPLY=($(compgen -W 'comment header delete settings about lsp batch refresh check' -- "$cur"))
      fi
      ;;
    comment | delete | refresh)
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
      COMPREPLY=($(compgen -W '--path --load --save --check --edit --help' -- "$cur"))
      ;;
    lsp)
      COMPREPLY=($(compgen -W '--settings --with --help' -- "$cur"))
      ;;
    batch)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--kinds --dry-run --diff --refresh --no-new --jobs --encoding --help' -- "$cur"))
      else
        _filedir
      fi
      ;;
    check)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--missing --kinds --format --jobs --encoding --help' -- "$cur"))
      else
        _filedir
      fi
      ;;
  esac
} && complete -F _quillmark quillmark

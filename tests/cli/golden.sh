#!/usr/bin/env bash
# Runs the built quillmark on the files in data/ as cases.txt says and compares
# the whole result file with expected/NAME, byte for byte, and the printed caret.
#   golden.sh QUILLMARK CASEDIR [--update]   (--update rewrites expected/)
# The system's own behaviour is the keyword mode's, asked for outright
# unless a case chooses; GOLDEN_PARSER= (empty) leaves the choice to each case.
set -u
bin=$1 dir=$2 update=${3:-}
parser=(--parser "${GOLDEN_PARSER-keywords}")
[ -z "${GOLDEN_PARSER-keywords}" ] && parser=()
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
# The project directory's name and the date are fixed, so the expected files
# hold the very bytes a run writes.
work=$top/golden
mkdir "$work"
export XDG_CONFIG_HOME=$work/config QUILLMARK_DATE=2002-09-17

# A settings file with a fixed author, so blocks do not depend on who runs this.
settings=$work/settings.ini
"$bin" --settings "$settings" settings --save "$settings" >/dev/null || exit 1
sed -i 's/^AuthorName=.*\r$/AuthorName=Author Name\r/' "$settings"

pass=0 fail=0 prev=""
touch "$work/CMakeLists.txt"  # makes $work the project directory
while IFS='|' read -r name input encoding status caret args; do
  case "$name" in ''|'#'*) continue ;; esac
  case_dir=$work/$name
  mkdir -p "$case_dir"
  if [ "$input" = @PREV@ ]; then src=$prev; input=$(basename "$prev"); else src=$dir/data/$input; fi
  file=$case_dir/$input
  cp "$src" "$file"
  out=$case_dir/out.txt
  args=${args//@FILE@/$file}
  args=${args//@OUT@/$out}
  caret=${caret//@FILE@/$file}
  caret=${caret//@OUT@/$out}
  # shellcheck disable=SC2086
  chosen=("${parser[@]}")
  [[ " $args " == *" --parser "* ]] && chosen=()
  printed=$("$bin" "${chosen[@]}" --settings "$settings" $args 2>"$case_dir/stderr")
  got=$?
  result=$file
  [[ " $args " == *" --output "* ]] && result=$out
  problems=()
  [ "$got" = "$status" ] || problems+=("exit status $got, expected $status: $(cat "$case_dir/stderr")")
  [ "$caret" = - ] && caret=""
  [ "$printed" = "$caret" ] || problems+=("printed '$printed', expected '$caret'")
  if [ "$status" = 0 ]; then
    [ "$update" = --update ] && cp "$result" "$dir/expected/$name"
    cmp -s "$dir/expected/$name" "$result" || problems+=("output differs: diff <(cat -A $dir/expected/$name) <(cat -A $result)")
    [ "$result" = "$file" ] || cmp -s "$src" "$file" || problems+=("--output changed the input file")
  else
    cmp -s "$src" "$file" || problems+=("the file changed although the command failed")
  fi
  if [ ${#problems[@]} = 0 ]; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL %s\n' "$name" "${problems[@]/#/  }"
    trap - EXIT  # keep the files to look at
    echo "  files kept in $top"
  fi
  prev=$result
done <"$dir/cases.txt"
echo "golden: $pass passed, $fail failed"
[ "$fail" = 0 ]

#!/usr/bin/env bash
# quillmark-dialogs refuses bad usage and a missing display with status 2 and
# a message, before Qt is started.
set -u
dialogs=$1
failures=0
expect() {  # expect STATUS PATTERN COMMAND...
  local status=$1 pattern=$2
  shift 2
  local err
  err=$("$@" 2>&1 >/dev/null)
  local got=$?
  if [ "$got" != "$status" ] || ! grep -q -- "$pattern" <<<"$err"; then
    echo "FAIL: $* -> $got: $err"
    failures=$((failures + 1))
  fi
}
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
expect 2 "no display" "${nodisplay[@]}" "$dialogs" settings
expect 2 "no display" "${nodisplay[@]}" "$dialogs" about
expect 2 "no display" "${nodisplay[@]}" QT_QPA_PLATFORM=xcb "$dialogs" settings
expect 2 "usage:" "$dialogs"
expect 2 "usage:" "$dialogs" colours
expect 2 "usage:" "$dialogs" settings --settings
expect 2 "usage:" "$dialogs" about --settings x.ini
exit $((failures > 0))

#!/usr/bin/env bash
# The build's engine include check refuses every way of reaching a widget
# from engine code and lets engine includes through.
set -euo pipefail
script=$1
widgets=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
check() { # expected-result file-content
  printf '%s\n' "$2" > "$tmp/engine.cpp"
  echo "$tmp/engine.cpp" > "$tmp/list"
  if cmake -DSOURCES_FILE="$tmp/list" -DWIDGETS_DIR="$widgets" -DSTAMP="$tmp/stamp" -P "$script" >/dev/null 2>&1; then
    got=pass
  else
    got=fail
  fi
  [ "$got" = "$1" ] || { echo "expected $1, got $got for: $2" >&2; exit 1; }
}
check fail '#include <QWidget>'
check fail '#  include "QDialog"'
check fail '#include <QtWidgets/QLabel>'
check fail '#include <QtWidgets>'
check fail '#include "app/forms/main_window.h"'
check fail '#include "playback/forms/snapshot_list.h"'
check fail '#include "platform/video_window.h"'
check pass '#include <QTimer>
#include <QImage>
#include <QAction>
#include "platform/video_output.h"
#include "app/main_info.h"
// #include <QWidget> in a comment is not an include'
echo ok

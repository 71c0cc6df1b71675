#!/bin/bash
# The event data shows no window: no object of its libraries asks for a
# symbol that Qt Widgets defines, and the document tests, a program of the
# document alone, load no Qt Widgets library.
#   links_no_widgets.sh QT_WIDGETS_LIBRARY WINDOW_LIBRARY PROGRAM LIBRARY...
# WINDOW_LIBRARY is one that does use widgets: the check must find them there.
set -euo pipefail
widgets=$1 control=$2 program=$3
shift 3
defined() { nm -D --defined-only "$widgets" | awk '{sub(/@.*/, "", $NF); print $NF}' | sort -u; }
asked() { nm --undefined-only "$1" 2>/dev/null | awk 'NF {print $NF}' | sort -u; }
if [ -z "$(comm -12 <(asked "$control") <(defined))" ]; then
  echo "the check finds no Qt Widgets symbol even in $control"
  exit 1
fi
status=0
for lib in "$@"; do
  used=$(comm -12 <(asked "$lib") <(defined))
  if [ -n "$used" ]; then
    echo "$lib asks for Qt Widgets:"
    echo "$used" | c++filt | head -20
    status=1
  fi
done
if ldd "$program" | grep -i 'libQt6Widgets'; then
  echo "$program loads Qt Widgets"
  status=1
fi
exit $status

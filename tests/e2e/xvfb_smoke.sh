#!/usr/bin/env bash
# A person's clicks on a real window: start the simulator on a virtual X
# display, click the trough of the punch-stroke slider, then the trial button,
# and see the account files change.
set -euo pipefail
program="$1"
work="$(mktemp -d)"
mkdir -p "$work/data" "$work/poly"
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

cleanup() {
  kill "${app:-}" "${xvfb:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a condition for up to ten seconds.
poll() {
  for _ in $(seq 100); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  echo "timed out waiting for: $1" >&2
  return 1
}

# The server picks a free display and writes its number when it is ready, so
# that runs side by side never share one. It never resets: by default it
# resets when its last client leaves (the readiness probe below), and a
# program that connects during the reset is refused.
Xvfb -displayfd 1 -noreset -screen 0 1280x1024x24 -nolisten tcp >"$work/display" 2>/dev/null &
xvfb=$!
poll "[ -s '$work/display' ]"
export DISPLAY=":$(head -1 "$work/display")"
poll "xdpyinfo >/dev/null 2>&1"

(cd "$work" && exec "$program") &
app=$!
poll "xdotool search --name 'Simuateur de la pi' >/dev/null 2>&1"
window="$(xdotool search --name 'Simuateur de la pi' | head -1)"
poll "[ \"\$(cat '$work/data/Nb_essai.dat' 2>/dev/null)\" = '0.000000 ' ]"

eval "$(xdotool getwindowgeometry --shell "$window")"
# Normalized [left bottom width height] to a point inside, from the top-left.
at() { echo "$(awk -v l="$1" -v b="$2" -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN { printf "%d %d", l*w, (1-b)*h }')"; }
read -r sx sy <<<"$(at 0.28 0.715)"   # left part of the trough of slider C
read -r bx by <<<"$(at 0.35 0.605)"   # "Réalisation essai"

xdotool mousemove --window "$window" "$sx" "$sy" click 1
xdotool mousemove --window "$window" "$bx" "$by" click 1
poll "[ \"\$(cat '$work/data/Nb_essai.dat' 2>/dev/null)\" = '1.000000 ' ]"
grep -q 'C=' "$work/data/config_outillage.dat"
# The trough click moved C away from its right end before the trial.
if grep -q 'C=38,' "$work/data/config_outillage.dat"; then
  echo "the slider did not move: $(head -1 "$work/data/config_outillage.dat")" >&2
  exit 1
fi

# A start in a folder without data/ and poly/ shows its message, then ends
# with a failure status once the operator has read it.
kill "$app" 2>/dev/null || true
mkdir "$work/empty"
(cd "$work/empty" && exec "$program") &
app=$!
poll "xdotool search --onlyvisible --name '^Erreur$' >/dev/null 2>&1"
# Return until the box takes it and the program ends.
poll "! kill -0 $app 2>/dev/null || { xdotool key Return; false; }"
status=0
wait "$app" || status=$?
if [ "$status" -ne 1 ]; then
  echo "a failed start ended with status $status" >&2
  exit 1
fi
echo "smoke: slider moved and trial recorded: $(head -1 "$work/data/config_outillage.dat")"

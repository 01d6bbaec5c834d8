#!/usr/bin/env bash
# The real editor in a virtual display: the keys that go to a menu never reach the song (ENTER
# after a menu was closed with Escape opens it again and plays nothing); notes typed into it are
# copied to the recovery folder when it loses the focus; killed with SIGKILL, it offers the copy
# at its next start, and OK brings the song back, unsaved, with the same content.
#   recovery_test.sh PROGRAM
set -euo pipefail
program="$(realpath "$1")"

if [ "${2:-}" != inside ]; then
    if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null ||
        ! command -v import >/dev/null; then
        echo "SKIPPED: needs xvfb-run, xdotool and import"
        exit 77
    fi
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$1" inside
fi

work="$(mktemp -d)"
pid=""
cleanup() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM # the real window, on the virtual display
export XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
copy="$XDG_STATE_HOME/tavomix/recovery.son"
cd "$work"

fail() {
    echo "FAIL: $*"
    exit 1
}
start() {
    "$program" >"$work/editor.log" 2>&1 &
    pid=$!
}
# Waits for a window whose name matches; prints its id.
window() {
    timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1
}
# True when the window's pixels stay the same for half a second: nothing plays (a playing
# song moves the pattern view ten rows a second).
still() {
    local before
    before="$(import -window "$1" rgb:- | md5sum)"
    sleep 0.5
    [ "$before" = "$(import -window "$1" rgb:- | md5sum)" ]
}
root="$(xdotool search --maxdepth 0 --name '' | head -1)"

# First run: the Edit menu opened by a click and closed with Escape, then ENTER twice: the menu
# bar has the keyboard, so the first opens the menu again and neither plays or changes the song.
# Once the menu bar lets go, ENTER plays and stops again.
start
main="$(window 'Music Editor')" || fail "no main window"
xdotool windowfocus --sync "$main"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --sync $((X + 87)) $((Y + 8)) click 1 # the title "Edit"
sleep 0.3
for key in Escape Return Return; do
    xdotool key "$key"
    sleep 0.3
done
still "$main" || fail "ENTER in the menu bar played the song"
xdotool search --name 'Noname\*' >/dev/null && fail "ENTER in the menu bar changed the song"
xdotool key Escape Escape Escape
sleep 0.3
xdotool key Return
sleep 0.3
still "$main" && fail "ENTER did not play once the menu bar let go"
xdotool key Return

# Then three notes typed, and the focus goes elsewhere.
xdotool key a e t
timeout 10 xdotool search --sync --name 'Noname\*' >/dev/null || fail "the notes did not mark the song"
xdotool windowfocus "$root"
for _ in $(seq 50); do [ -s "$copy" ] && break; sleep 0.2; done
[ -s "$copy" ] || fail "no recovery copy after the focus was lost"
sleep 0.5
cp "$copy" "$work/first.son"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=""

# Second run: the copy is offered; OK brings the song back.
start
box="$(window '^Recovery$')" || fail "the recovery copy was not offered"
xdotool windowfocus --sync "$box"
xdotool key Return
timeout 10 xdotool search --sync --name 'Noname\*' >/dev/null || fail "the recovered song is not marked unsaved"
# Its content: the next copy of the recovered song is the same song.
rm -f "$copy"
main="$(window 'Music Editor')"
xdotool windowfocus --sync "$main"
sleep 0.5
xdotool windowfocus "$root"
for _ in $(seq 50); do [ -s "$copy" ] && break; sleep 0.2; done
[ -s "$copy" ] || fail "the recovered song was not copied again"
sleep 0.5
cmp -s "$copy" "$work/first.son" || fail "the recovered song differs from the one typed"
echo PASS

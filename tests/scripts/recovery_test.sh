#!/usr/bin/env bash
# Real editors in a virtual display sharing one state folder. The keys that go to a menu never
# reach the song (ENTER after a menu was closed with Escape opens it again and plays nothing).
# Notes typed into an editor are
# copied to the recovery folder when it loses the focus; killed with SIGKILL, its copy is
# offered at the next start, and OK brings the song back, unsaved, with the same content. Two
# editors open at once never offer, move or remove each other's copies, in three orders of
# quits and kills.
#   recovery_test.sh PROGRAM
set -euo pipefail
program="$(realpath "$1")"

if [ "${2:-}" != inside ]; then
    if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null ||
        ! command -v import >/dev/null; then
        echo "SKIPPED: needs xvfb-run, xdotool and import"
        exit 77
    fi
    exec xvfb-run -a -s "-screen 0 1600x900x24" bash "$0" "$1" inside
fi

work="$(mktemp -d)"
pids=()
stop_all() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    pids=()
}
cleanup() {
    stop_all
    rm -rf "$work"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM # the real window, on the virtual display
export XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
folder="$XDG_STATE_HOME/tavomix"
cd "$work"
root="$(xdotool search --maxdepth 0 --name '' | head -1)"

fail() {
    echo "FAIL: $*"
    exit 1
}
# Starts an editor with its window at x = $1; its process id goes to $started.
start() {
    "$program" >>"$work/editor.log" 2>&1 &
    started=$!
    pids+=("$started")
    local win
    win="$(main "$started")"
    xdotool windowmove "$win" "$1" 0
}
# The main window of an editor.
main() {
    timeout 20 xdotool search --all --sync --onlyvisible --pid "$1" --name 'Music Editor' | head -1 ||
        fail "no main window for $1"
}
# Types note keys into an editor after its warm-up; the song is marked unsaved.
type_notes() {
    local win
    win="$(main "$1")"
    xdotool windowfocus --sync "$win"
    sleep 1.5
    xdotool key "${@:2}"
    for _ in $(seq 50); do
        xdotool getwindowname "$win" | grep -q 'Noname\*' && return
        sleep 0.2
    done
    fail "the notes did not mark the song of $1"
}
# The newest copy of an editor, found through the lock it holds; empty when it has none.
copy_of() {
    local lock id
    lock="$(ls -l "/proc/$1/fd" 2>/dev/null | grep -o 'unsaved-[0-9a-f]*\.lock' | head -1)" || true
    [ -n "$lock" ] || return 0
    id="${lock%.lock}"
    ls -t "$folder/$id"-*.son 2>/dev/null | head -1
}
# Takes the focus from every editor and waits until editor $1 has copied its song; keeps the
# copy as $2.
copied_as() {
    xdotool windowfocus "$root"
    local copy=""
    for _ in $(seq 50); do
        copy="$(copy_of "$1")"
        [ -n "$copy" ] && ! cmp -s "$copy" "$2" 2>/dev/null && break
        sleep 0.2
    done
    [ -s "$copy" ] || fail "no recovery copy of $1 after the focus was lost"
    sleep 0.3
    cp "$copy" "$2"
}
# Program > Quit by the menu's keys, confirming when the song is unsaved; waits for the end.
quit() {
    local win x y
    win="$(main "$1")"
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool windowfocus --sync "$win" mousemove $((X + 24)) $((Y + 10)) click 1
    sleep 0.5
    xdotool key Up Return
    sleep 0.5
    local box
    box="$(xdotool search --all --onlyvisible --pid "$1" --name 'Exit Warning' | head -1)" || true
    [ -z "$box" ] || xdotool windowfocus --sync "$box" key Return
    for _ in $(seq 50); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.2
    done
    fail "editor $1 did not quit"
}
killed() {
    kill -9 "$1"
    wait "$1" 2>/dev/null || true
}
# Waits for the next recovery box of editor $1 and answers it with key $2.
answer() {
    local box
    box="$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$1" --name '^Recovery$' | head -1)" ||
        fail "no copy was offered to $1"
    xdotool windowfocus --sync "$box" key "$2"
    sleep 0.5
}
no_more_boxes() {
    sleep 1.5
    if xdotool search --all --onlyvisible --pid "$1" --name '^Recovery$' >/dev/null; then
        fail "editor $1 was offered a copy it should not see"
    fi
}
# The song editor $1 recovered is the one kept as $2: its own first copy has the same bytes.
recovered() {
    timeout 10 xdotool search --all --sync --pid "$1" --name 'Noname\*' >/dev/null ||
        fail "the recovered song is not marked unsaved"
    cmp -s "$(copy_of "$1")" "$2" || fail "the recovered song differs from the one typed ($2)"
}
# True when the window's pixels stay the same for half a second: nothing plays (a playing
# song moves the pattern view ten rows a second).
still() {
    local before
    before="$(import -window "$1" rgb:- | md5sum)"
    sleep 0.5
    [ "$before" = "$(import -window "$1" rgb:- | md5sum)" ]
}
# Editors A and B side by side.
start_two() {
    start 0
    a=$started
    start 800
    b=$started
}
# A new editor answers its recovery boxes with the keys after $1, in order, and has recovered the
# song kept as $1, and was offered nothing more.
start_and_recover() {
    start 0
    c=$started
    for key in "${@:2}"; do answer "$c" "$key"; done
    recovered "$c" "$1"
    no_more_boxes "$c"
}
fresh() {
    stop_all
    rm -rf "$XDG_STATE_HOME"
}

# The Edit menu opened by a click and closed with Escape, then ENTER twice: the menu bar has the
# keyboard, so the first opens the menu again and neither plays or changes the song. Once the
# menu bar lets go, ENTER plays and stops again.
start 0
a=$started
win="$(main "$a")"
xdotool windowfocus --sync "$win"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --sync $((X + 87)) $((Y + 8)) click 1 # the title "Edit"
sleep 0.3
for key in Escape Return Return; do
    xdotool key "$key"
    sleep 0.3
done
still "$win" || fail "ENTER in the menu bar played the song"
xdotool search --name 'Noname\*' >/dev/null && fail "ENTER in the menu bar changed the song"
xdotool key Escape Escape Escape
sleep 0.3
xdotool key Return
sleep 0.3
# A loaded machine may take a moment to show the first rows moving.
played=""
for _ in 1 2 3 4; do still "$win" || { played=yes; break; }; done
[ -n "$played" ] || fail "ENTER did not play once the menu bar let go"
xdotool key Return
echo "ok: keys that go to a menu never reach the song"

# Killed and started again.
type_notes "$a" a e t
copied_as "$a" a.son
killed "$a"
start_and_recover a.son Return
echo "ok: a killed editor's copy is offered and recovered"

# A edits; B, open beside it and untouched, quits; A is killed: A's copy is offered.
fresh
start_two
type_notes "$a" q
copied_as "$a" a.son
quit "$b"
killed "$a"
start_and_recover a.son Return
echo "ok: an untouched editor quitting keeps the other's copy"

# B starts while A has unsaved changes: it is offered nothing. B edits and quits; A edits
# again and is killed: A's last copy, and only it, is offered.
fresh
start 0
a=$started
type_notes "$a" q
copied_as "$a" a.son
start 800
b=$started
no_more_boxes "$b"
type_notes "$b" e
copied_as "$b" b.son
quit "$b"
type_notes "$a" w
copied_as "$a" a.son
killed "$a"
start_and_recover a.son Return
echo "ok: an editor that edits and quits beside another keeps the other's copy"

# Both edit and are killed: both copies are offered, newest first; the one declined is set
# aside whole.
fresh
start_two
type_notes "$a" q
copied_as "$a" a.son
sleep 1.1 # the copies' times differ
type_notes "$b" e t
copied_as "$b" b.son
killed "$a"
killed "$b"
start_and_recover a.son Escape Return
cmp -s "$(ls "$folder"/recovery-*.son)" b.son || fail "the declined copy was not kept aside"
echo "ok: two killed editors' copies are both offered"
echo PASS

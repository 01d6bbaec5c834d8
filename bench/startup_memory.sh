#!/usr/bin/env bash
# The editor's memory once started, and how long it takes to show its window: started RUNS times
# in a virtual display, with no sound server and then with a private PulseAudio daemon (a null
# sink, as in the other sound benchmarks). Each run reads the resident set (RSS) and the
# proportional set (PSS, the shared libraries' pages divided among the processes mapping them)
# from /proc/PID/smaps_rollup 5 s after the start, and the time from the start to the main window
# being mapped (the MapNotify that xev sees on the root window). Prints the median and the range.
# PSS depends on what else maps the same libraries (other Qt programs running beside it); the
# private pages (USS) are the editor's alone. The same is read for memory_floor, built beside the
# editor (bench/memory_floor.cpp: a bare window and one sound context on the same libraries),
# and the editor's medians are given over the floor's: what the editor itself adds.
#   bench/startup_memory.sh [EDITOR] [RUNS]      (build/default/app/tavomix, 7)
# SETTLE (seconds, default 5) changes when the memory is read.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
editor="$(realpath "${1:-$source_dir/build/default/app/tavomix}")"
runs="${2:-7}"
[ -x "$editor" ] || { echo "build it first: cmake --build --preset default" >&2; exit 1; }
floor="$(realpath -m "$(dirname "$editor")/../bench/memory_floor")"

if [ "${3:-}" != inside ]; then
    for tool in xvfb-run xev; do
        command -v "$tool" >/dev/null || { echo "needs $tool (xvfb, x11-utils)"; exit 1; }
    done
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$editor" "$runs" inside
fi

source "$source_dir/bench/private_pulse.sh"
pulse_need pulseaudio pactl
editor_pid="" xev_pid=""
cleanup() {
    [ -n "$editor_pid" ] && kill -9 "$editor_pid" 2>/dev/null || true
    [ -n "$xev_pid" ] && kill "$xev_pid" 2>/dev/null || true
    [ -n "${work:-}" ] && pulse_stop
}
trap cleanup EXIT
unset QT_QPA_PLATFORM

# one_run PROGRAM: prints "start-up-ms rss-kB pss-kB pss-anon-kB private-kB" for one start.
one_run() {
    coproc XEV { exec stdbuf -oL xev -root -event substructure; }
    xev_pid=$XEV_PID
    sleep 0.3 # xev has selected its events
    local start=$EPOCHREALTIME line
    "$1" >/dev/null 2>&1 &
    editor_pid=$!
    while read -r line <&"${XEV[0]}"; do [[ $line == MapNotify* ]] && break; done
    local mapped=$EPOCHREALTIME
    kill "$xev_pid" 2>/dev/null || true
    wait "$xev_pid" 2>/dev/null || true
    xev_pid=""
    local left
    left=$(awk -v s="$start" -v m="$EPOCHREALTIME" -v settle="${SETTLE:-5}" \
        'BEGIN { d = settle - (m - s); print (d > 0 ? d : 0) }')
    sleep "$left"
    local ms
    ms=$(awk -v s="$start" -v m="$mapped" 'BEGIN { printf "%.1f", (m - s) * 1000 }')
    awk -v ms="$ms" '/^Rss:/ {r = $2} /^Pss:/ {p = $2} /^Pss_Anon:/ {a = $2}
        /^Private_(Clean|Dirty):/ {u += $2} END {print ms, r, p, a, u}' "/proc/$editor_pid/smaps_rollup"
    kill -9 "$editor_pid"
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=""
}

# report LABEL FILE [FLOOR-FILE]: median and range of each column, and the medians over the
# floor's.
report() {
    python3 - "$@" <<'PY'
import statistics, sys
label, path = sys.argv[1:3]
def load(p):
    return list(zip(*[list(map(float, l.split())) for l in open(p) if l.strip()]))
cols = load(path)
def f(i, scale, unit, digits):
    c = [v / scale for v in cols[i]]
    return f"{statistics.median(c):.{digits}f} {unit} ({min(c):.{digits}f}-{max(c):.{digits}f})"
print(f"{label}, median of {len(cols[0])}:")
print(f"  start-up to window mapped  {f(0, 1, 'ms', 1)}")
print(f"  RSS                        {f(1, 1024, 'MB', 1)}")
print(f"  PSS                        {f(2, 1024, 'MB', 1)}  of which anonymous {f(3, 1024, 'MB', 1)}")
print(f"  private (USS)              {f(4, 1024, 'MB', 1)}")
if len(sys.argv) > 3:
    floor = load(sys.argv[3])
    over = lambda i: (statistics.median(cols[i]) - statistics.median(floor[i])) / 1024
    print(f"  over the floor             RSS {over(1):+.1f} MB, USS {over(4):+.1f} MB")
PY
}

pulse_prepare # a private home, runtime and configuration folder for both rounds
one_run "$editor" >/dev/null # first start: the settings files are made
# rounds SUFFIX: the editor's runs, then the floor's (when it is built), into $work/*-SUFFIX.
rounds() {
    for _ in $(seq "$runs"); do one_run "$editor"; done >"$work/editor-$1"
    [ -x "$floor" ] || return 0
    for _ in $(seq "$runs"); do one_run "$floor"; done >"$work/floor-$1"
}
# report_round LABEL SUFFIX
report_round() {
    if [ -x "$floor" ]; then
        report "$1" "$work/editor-$2" "$work/floor-$2"
        report "$1, the floor" "$work/floor-$2"
    else
        report "$1" "$work/editor-$2"
    fi
}
rounds none
pulse_start
rounds pulse
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
[ -x "$floor" ] || echo "(no floor: build the memory_floor target beside the editor)"
report_round "no sound server" none
report_round "private PulseAudio server" pulse

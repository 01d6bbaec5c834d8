#!/usr/bin/env bash
# What waking a resting output device adds to a note's delay, per "Audio latency" setting: a
# private PulseAudio daemon with a null sink whose monitor is recorded, and sound_latency_probe
# playing PAIRS pairs of notes, the first of each once the idle device rests, the second 400 ms
# later on the running device. For each pair, (onset gap in the recording) minus (gap between
# the two plays) is what the wake added; printed as median and 95th percentile.
#   bench/sound_wake_latency.sh [BUILD_DIR] [PAIRS]    (build/default, 10)
# Exits 77 when there is no daemon to start.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(realpath "${1:-$source_dir/build/default}")"
pairs="${2:-10}"
probe="$build_dir/bench/sound_latency_probe"
[ -x "$probe" ] || { echo "build it first: cmake --build --preset default" >&2; exit 1; }
source "$source_dir/bench/private_pulse.sh"
pulse_need pulseaudio pactl parec python3
pulse_prepare
rec=""
cleanup() {
    [ -n "$rec" ] && kill "$rec" 2>/dev/null || true
    pulse_stop
}
trap cleanup EXIT
pulse_start

echo "What waking the resting device adds to a note, over $pairs pairs (load $(cut -d' ' -f1 /proc/loadavg)):"
for setting in low:2 normal:4 safe:8; do
    label="${setting%%:*}" period="${setting##*:}"
    sed "s/^periods = .*/periods = $period/" "$source_dir/resources/alsoft.conf" >"$work/$label.conf"
    parec --raw --device=out.monitor --format=s16le --channels=1 --rate=48000 \
        --latency-msec=500 >"$work/$label.raw" 2>/dev/null &
    rec=$!
    sleep 0.5
    ALSOFT_CONF="$work/$label.conf" "$probe" wake "$pairs" >"$work/$label.times"
    sleep 0.6
    kill -INT "$rec"; wait "$rec" 2>/dev/null || true; rec=""
    python3 - "$work/$label.raw" "$work/$label.times" "$label" "$period" <<'PY'
import array, sys
raw, times, label, period = sys.argv[1:5]
a = array.array('h'); a.frombytes(open(raw, 'rb').read())
onsets, quiet = [], 10**9
for i, s in enumerate(a):
    if abs(s) > 2000:
        if quiet > 4800: onsets.append(i)  # after 100 ms of silence: a new note
        quiet = 0
    else:
        quiet += 1
played = [float(line.split()[1]) for line in open(times)]
added = []
for p in range(min(len(played), len(onsets)) // 2):
    gap_heard = (onsets[2 * p + 1] - onsets[2 * p]) * 1000 / 48000
    gap_played = played[2 * p + 1] - played[2 * p]
    added.append(gap_played - gap_heard)
added.sort()
if len(onsets) != len(played):
    print(f"{label}: {len(onsets)} onsets heard for {len(played)} notes played")
if added:
    print(f"{label:7} {int(period)} x 256 frames: wake adds median {added[len(added) // 2]:5.1f} ms, "
          f"p95 {added[min(len(added) - 1, len(added) * 95 // 100)]:5.1f} ms ({len(added)} pairs)")
PY
done

#!/usr/bin/env bash
# The delay from the live voices to the sound server's output, as the server sees it: a private
# PulseAudio daemon with a null sink, sound_latency_probe playing a looping note through the
# default device, and "Buffer Latency" + "Sink Latency" of its stream read from
# `pactl list sink-inputs` 40 times over about 4 s. Once with the shipped resources/alsoft.conf
# (the "Audio latency" default, Safe), once with OpenAL's own defaults for comparison.
#   bench/sound_server_latency.sh [BUILD_DIR]      (default: build/default)
# Exits 77 when there is no daemon to start.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(realpath "${1:-$source_dir/build/default}")"
probe="$build_dir/bench/sound_latency_probe"
[ -x "$probe" ] || {
    echo "build it first: cmake --build --preset default --target sound_latency_probe" >&2
    exit 1
}
# The daemon and its clients keep to a folder of their own; no client starts another daemon.
source "$source_dir/bench/private_pulse.sh"
pulse_need pulseaudio pactl
pulse_prepare
probe_pid=""
cleanup() {
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null || true
    pulse_stop
}
trap cleanup EXIT
pulse_start

# measure LABEL CONF: prints min, median and max of the 40 readings, in ms.
measure() {
    ALSOFT_CONF="$2" "$probe" 8 >"$work/probe.out" 2>&1 &
    probe_pid=$!
    # Idle, the null sink runs 2 s ahead; when a stream joins, what it had rendered (up to about
    # 0.9 s) plays out first, and only then does the sink keep to the stream's latency. The
    # readings start once that is over.
    sleep 2.5
    : >"$work/readings"
    for _ in $(seq 40); do
        pactl list sink-inputs | awk '
            /Buffer Latency:/ { b = $3 } /Sink Latency:/ { s = $3 }
            END { if (b != "") printf "%.2f\n", (b + s) / 1000 }' >>"$work/readings"
        sleep 0.1
    done
    wait "$probe_pid" || true
    probe_pid=""
    [ -s "$work/readings" ] || {
        echo "$1: no stream seen ($(cat "$work/probe.out"))"
        return 1
    }
    sort -n "$work/readings" | awk -v label="$1" '
        { v[NR] = $1 }
        END { printf "%-28s min %5.1f  median %5.1f  max %5.1f ms  (%d readings)\n",
                     label, v[1], v[int((NR + 1) / 2)], v[NR], NR }'
}

echo "Buffer + sink latency of the voices' stream on a PulseAudio null sink:"
measure "shipped alsoft.conf" "$source_dir/resources/alsoft.conf"
measure "OpenAL's defaults" /dev/null
echo "Safe (the default, 8 periods) gives about 40 ms, Normal (4) about 14 ms, Low (2) about 6 ms."

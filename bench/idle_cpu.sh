#!/usr/bin/env bash
# CPU use of the editor, idle and playing, side by side with another tracker in the same
# virtual display over the same window of time. Not a test: a figure for the notes.
#   bench/idle_cpu.sh [--sound-server] [EDITOR] [SECONDS]
# EDITOR defaults to build/default/app/tavomix; SECONDS (default 10) is each measuring window.
# The editor opens examples/melody.son, which ENTER plays (looping) for the playing figure.
# The peer is Debian's milkytracker (installed when missing), started with SDL's dummy audio.
# With --sound-server the editor and the peers (milkytracker, and klystrack when installed)
# play to a private PulseAudio daemon with a null sink instead, one after the other, idle and
# playing, and the daemon's own CPU share is measured beside each. The daemon suspends a
# sink whose streams are all paused after 5 s, as desktop sound servers do (PulseAudio's
# module-suspend-on-idle): each idle window starts 9 s after its program. PATTERN_WINDOW=open
# starts the editor with its pattern window open.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = --sound-server ]; then
    export TAVOMIX_BENCH_SOUND_SERVER=1
    shift
fi
editor="$(realpath "${1:-$here/build/default/app/tavomix}")"
seconds="${2:-10}"
song="$here/examples/melody.son"

if [ "${3:-}" != inside ]; then
    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null || { echo "needs $tool (./tools/install-deps.sh)"; exit 1; }
    done
    if ! command -v milkytracker >/dev/null; then
        sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q milkytracker >/dev/null
    fi
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$editor" "$seconds" inside
fi

work="$(mktemp -d)"
pids=()
# (Every step of the clean-up may fail, as the programs may have ended: errexit stays out of it.)
trap 'kill -9 "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state" HOME="$work"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
cd "$work"

ticks() { # user + system clock ticks of a process
    awk '{print $14 + $15}' "/proc/$1/stat"
}
percent() { # clock ticks over the window, as a share of one core
    awk -v t="$1" -v hz="$(getconf CLK_TCK)" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}'
}
measure() { # PID... : prints each one's CPU share over the window
    local before=() after=() i
    for i in "$@"; do before+=("$(ticks "$i")"); done
    sleep "$seconds"
    for i in "$@"; do after+=("$(ticks "$i")"); done
    for i in "${!before[@]}"; do printf '%s ' "$(percent $((after[i] - before[i])))"; done
    echo
}

if [ -n "${TAVOMIX_BENCH_SOUND_SERVER:-}" ]; then
    command -v pulseaudio >/dev/null || { echo "needs pulseaudio"; exit 1; }
    export XDG_CONFIG_HOME="$work/config" PULSE_CLIENTCONFIG="$work/client.conf"
    # PATTERN_WINDOW=open: the editor starts with its pattern window open beside it.
    if [ "${PATTERN_WINDOW:-}" = open ]; then
        mkdir -p -m 700 "$XDG_CONFIG_HOME" "$XDG_CONFIG_HOME/tavomix"
        echo "pattern-window = open" >"$XDG_CONFIG_HOME/tavomix/tavomix.conf"
    fi
    unset PULSE_SERVER PULSE_SINK ALSOFT_DRIVERS
    echo "autospawn = no" >"$work/client.conf"
    printf '%s\n' "load-module module-null-sink sink_name=out rate=48000" \
        "set-default-sink out" "load-module module-native-protocol-unix" \
        "load-module module-suspend-on-idle" >"$work/pa.pa"
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n -F pa.pa --log-target=file:pa.log
    trap 'kill -9 "${pids[@]}" 2>/dev/null || true; pulseaudio --kill 2>/dev/null || true
        rm -rf "$work"' EXIT
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
    server_pid="$(pgrep -n -x pulseaudio)"

    # run NAME COMMAND... : starts a program, measures it and the daemon idle, starts its
    # playing with play_NAME, measures again, and ends it.
    run() {
        local name="$1"; shift
        "$@" >/dev/null 2>&1 &
        pids+=($!); local pid=$!
        sleep 9 # started, an idle device rested, and the sink suspended
        read -r idle server_idle <<<"$(measure "$pid" "$server_pid")"
        "play_$name" "$pid"
        sleep 1
        read -r playing server_playing <<<"$(measure "$pid" "$server_pid")"
        kill -9 "$pid"
        wait "$pid" 2>/dev/null || true
        printf '  %-12s idle %6s + server %5s   playing %6s + server %5s\n' "$name" \
            "$idle" "$server_idle" "$playing" "$server_playing"
        sleep 3
    }
    play_editor() { # ENTER plays the song, looping
        local win
        win="$(xdotool search --all --pid "$1" --onlyvisible --name 'Music Editor' | head -1)"
        xdotool windowfocus --sync "$win"
        sleep 0.5
        xdotool key Return
    }
    play_milkytracker() { # ENTER plays its (empty) song
        local win
        win="$(xdotool search --all --pid "$1" --onlyvisible --name '' | head -1)"
        xdotool windowfocus --sync "$win" key Return
    }
    play_klystrack() { # a click on its PLAY button plays its (empty) song
        local win
        win="$(xdotool search --all --pid "$1" --onlyvisible --name '' | head -1)"
        xdotool mousemove --window "$win" 582 86 click 1
    }
    echo "over ${seconds} s, % of one core, on a private PulseAudio server with a null sink:"
    run editor "$editor" "$song"
    run milkytracker env SDL_AUDIODRIVER=pulseaudio milkytracker
    if command -v klystrack >/dev/null; then
        run klystrack env SDL_AUDIODRIVER=pulseaudio SDL_RENDER_DRIVER=software klystrack
    fi
    read -r server_alone <<<"$(measure "$server_pid")"
    echo "  server alone ${server_alone}"
    exit 0
fi

"$editor" "$song" >/dev/null 2>&1 &
pids+=($!); editor_pid=$!
SDL_AUDIODRIVER=dummy milkytracker >/dev/null 2>&1 &
pids+=($!); peer_pid=$!
sleep 4 # both started and settled
read -r editor_idle peer_idle <<<"$(measure "$editor_pid" "$peer_pid")"

# Playing: ENTER starts song play in the editor (the song loops).
win="$(xdotool search --onlyvisible --name 'Music Editor' | head -1)"
xdotool windowfocus --sync "$win"
sleep 0.5
xdotool key Return
sleep 1
read -r editor_playing <<<"$(measure "$editor_pid")"

echo "over ${seconds} s, % of one core:"
echo "  editor idle     ${editor_idle}"
echo "  editor playing  ${editor_playing}"
echo "  peer idle       ${peer_idle}"

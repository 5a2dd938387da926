#!/usr/bin/env bash
# Figures of the Windows program beside the Linux one, on this machine in one run: kalvo.exe's size,
# the time from start to the window shown (Wine cold, with its server and services starting too,
# and warm), memory and CPU while polling the held unit, and the CPU of both programs while they
# poll a unit whose replies are too long, one that floods the line and a silent one, beside a bare
# window with a 2 s timer. Measured and printed, never asserted. scripts/windows-leg runs it last
# (--bench), in its Wine prefix and on its display.
#
#   windows_face_bench.sh KALVO_EXE DRIVER_EXE LINUX_KALVO LANGUAGE_FILE WORK_DIR BARE_WINDOW_EXE UNITSIM
#
# Needs WINEPREFIX, DISPLAY, KALVO_TEST_COM_HELD and KALVO_HELD_PATH (the held unit's terminal).
set -euo pipefail
kalvo_exe=$1 driver_exe=$2 linux_kalvo=$3 language_file=$4 work=$5 bare_window_exe=$6 unitsim=$7
port=$KALVO_TEST_COM_HELD unit_path=$KALVO_HELD_PATH
poll_seconds=30  # fifteen polls
settle_seconds=4  # the first poll and the first painting of its results are start-up, not polling
export WINEDEBUG=-all
# shellcheck source=bench/window_bench.sh
. "$(dirname "${BASH_SOURCE[0]}")/window_bench.sh"

ticks_of() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
folder() { program_folder "$work/$1" "$language_file" "$port" "$unit_path"; }

# The Wine server of this prefix, which does the window system's work for every Windows program in it.
wine_server_pid() {
    local pid
    for pid in $(pgrep '^wineserver'); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return
        fi
    done
    echo "windows_face_bench: no Wine server runs for $WINEPREFIX" >&2
    return 1
}

# Memory, CPU share and CPU time per poll (one every 2 s) of a process over the poll time, from a
# few seconds after its window shows; with a server process (the Wine server) also that one's CPU
# share and time per poll.
measure_polling() {
    local pid=$1 server=${2:-} start_ticks server_ticks=0 started
    sleep "$settle_seconds"
    start_ticks=$(ticks_of "$pid")
    [ -n "$server" ] && server_ticks=$(ticks_of "$server")
    started=$(now)
    sleep "$poll_seconds"
    local cpu_ms server_ms=0 elapsed
    cpu_ms=$(( ($(ticks_of "$pid") - start_ticks) * 1000 / $(getconf CLK_TCK) ))
    [ -n "$server" ] && server_ms=$(( ($(ticks_of "$server") - server_ticks) * 1000 / $(getconf CLK_TCK) ))
    elapsed=$(elapsed_ms "$started" "$(now)")
    echo "$(rss_kb_of "$pid") $(awk -v c="$cpu_ms" -v s="$server_ms" -v e="$elapsed" \
        'BEGIN { printf "%.2f %.1f %.2f %.1f", 100 * c / e, c / (e / 2000), 100 * s / e, s / (e / 2000) }')"
}

run_windows() {
    folder windows
    cp "$kalvo_exe" "$work/windows/"
    local started pid shown
    started=$(now)
    (cd "$work/windows" && exec wine kalvo.exe) </dev/null >/dev/null 2>&1 &
    pid=$!
    wine "$driver_exe" wait-window 120 >/dev/null
    shown=$(now)
    echo "$(elapsed_ms "$started" "$shown") $pid"
}

stop_windows() {
    wine "$driver_exe" close
    wine "$driver_exe" wait-gone 60
    wait "$1" 2>/dev/null || true
}

run_linux() {
    folder linux
    cp "$linux_kalvo" "$work/linux/kalvo"
    local started pid
    started=$(now)
    (cd "$work/linux" && QT_QPA_PLATFORM=xcb exec ./kalvo) </dev/null >/dev/null 2>&1 &
    pid=$!
    xdotool search --sync --onlyvisible --name "^Kalvo V2.03$" >/dev/null
    echo "$(elapsed_ms "$started" "$(now)") $pid"
}

stop_linux() {
    kill "$1"
    wait "$1" 2>/dev/null || true
}

# A unit in the given way of misbehaving on a terminal of its own, which both programs reach as
# COM<n>: a link in the prefix for Wine, the settings' "Ports" entry for Linux. Sets port and
# unit_path. Replies that are too long come in one piece, so every wait sees more than it expects;
# a flood is paced, so it fills the line for as long as it lasts.
unit_pids=()
links=()
stop_units() {
    for pid in "${unit_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for link in "${links[@]}"; do rm -f "$link"; done
}
trap stop_units EXIT
start_unit() {
    local mode=$1 out="$work/unit-$1.out" pace=()
    [ "$mode" = flood ] && pace=(--pace)
    rm -f "$out"
    "$unitsim" --mode "$mode" "${pace[@]}" --seed 7 </dev/null >"$out" 2>"$work/unit-$mode.log" &
    unit_pids+=($!)
    until [ -s "$out" ]; do
        kill -0 $! 2>/dev/null || { echo "windows_face_bench: unitsim --mode $mode ended" >&2; exit 1; }
        sleep 0.1
    done
    port=$2 unit_path=$(head -n 1 "$out")
    ln -sfn "$unit_path" "$WINEPREFIX/dosdevices/com$port"
    links+=("$WINEPREFIX/dosdevices/com$port")
}

mkdir -p "$work"
exe_bytes=$(stat -c %s "$kalvo_exe")

# Cold: no Wine server, no services running.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
read -r cold_ms cold_pid < <(run_windows)
stop_windows "$cold_pid"
read -r warm_ms warm_pid < <(run_windows)
read -r wine_rss wine_cpu wine_poll_ms server_cpu server_poll_ms < <(measure_polling "$warm_pid" "$(wine_server_pid)")
stop_windows "$warm_pid"
# A bare Xvfb has no resource database (a desktop session loads one with xrdb), so Xlib reads
# ~/.Xdefaults again at every font that Wine selects, hundreds of times a poll. Measured once more
# as on a desktop, with a database of one neutral resource.
printf '*kalvoBench: 1\n' >"$work/Xresources"
read -r _ desktop_pid < <(XENVIRONMENT="$work/Xresources" run_windows)
read -r _ desktop_cpu desktop_poll_ms _ < <(measure_polling "$desktop_pid")
stop_windows "$desktop_pid"

read -r linux_ms linux_pid < <(run_linux)
read -r linux_rss linux_cpu linux_poll_ms _ < <(measure_polling "$linux_pid")
stop_linux "$linux_pid"

# Both programs with each unit that makes every wait run to its limit, then the bare window.
declare -A mode_figures=([normal]="$wine_cpu $wine_poll_ms $server_cpu $server_poll_ms $linux_cpu $linux_poll_ms")
mode_port=47
for mode in long flood silent; do
    start_unit "$mode" $mode_port
    mode_port=$((mode_port + 1))
    read -r _ pid < <(run_windows)
    read -r _ cpu poll_ms s_cpu s_poll_ms < <(measure_polling "$pid" "$(wine_server_pid)")
    stop_windows "$pid"
    read -r _ pid < <(run_linux)
    read -r _ l_cpu l_poll_ms _ < <(measure_polling "$pid")
    stop_linux "$pid"
    mode_figures[$mode]="$cpu $poll_ms $s_cpu $s_poll_ms $l_cpu $l_poll_ms"
done
(cd "$work" && exec wine "$bare_window_exe") </dev/null >/dev/null 2>&1 &
bare_pid=$!
xdotool search --sync --onlyvisible --name "^Bare window$" >/dev/null
read -r _ bare_cpu bare_poll_ms bare_s_cpu bare_s_poll_ms < <(measure_polling "$bare_pid" "$(wine_server_pid)")
kill "$bare_pid"
wait "$bare_pid" 2>/dev/null || true

printf '\n%-40s %14s %14s\n' "Kalvo on this machine" "Win32 (Wine)" "Qt (Linux)"
printf '%-40s %14s %14s\n' "program file (bytes)" "$exe_bytes" "$(stat -c %s "$linux_kalvo")"
printf '%-40s %14s %14s\n' "start to window, cold (ms)" "$cold_ms" "-"
printf '%-40s %14s %14s\n' "start to window, warm (ms)" "$warm_ms" "$linux_ms"
printf '%-40s %14s %14s\n' "resident memory while polling (KiB)" "$wine_rss" "$linux_rss"
printf '%-40s %14s %14s\n' "CPU while polling, ${poll_seconds} s (%)" "$wine_cpu" "$linux_cpu"
printf '%-40s %14s %14s\n' "CPU per poll (ms)" "$wine_poll_ms" "$linux_poll_ms"
printf '%-40s %14s %14s\n' "Wine server meanwhile (%, ms per poll)" "$server_cpu $server_poll_ms" "-"
printf '%-40s %14s %14s\n' "same, display with resources (%, ms)" "$desktop_cpu $desktop_poll_ms" "-"
echo "(Wine: the kalvo.exe process alone, the Wine server on its own line; Linux: dynamically linked to Qt.)"

printf '\nCPU while polling, %s s from a few seconds after the window shows: %% of one core (ms per 2 s)\n' "$poll_seconds"
printf '%-26s %20s %20s %20s\n' "unit" "kalvo.exe (Wine)" "Wine server" "kalvo (Linux)"
for mode in normal long flood silent; do
    read -r cpu poll_ms s_cpu s_poll_ms l_cpu l_poll_ms <<<"${mode_figures[$mode]}"
    printf '%-26s %20s %20s %20s\n' "$mode" "$cpu ($poll_ms)" "$s_cpu ($s_poll_ms)" "$l_cpu ($l_poll_ms)"
done
printf '%-26s %20s %20s %20s\n' "bare window, 2 s timer" "$bare_cpu ($bare_poll_ms)" "$bare_s_cpu ($bare_s_poll_ms)" "-"

#!/usr/bin/env bash
# Figures of the Windows program beside the Linux one, on this machine in one run: kalvo.exe's size,
# the time from start to the window shown (Wine cold, with its server and services starting too,
# and warm), and memory and CPU while polling the held unit. Measured and printed, never asserted.
# scripts/windows-leg runs it last (--bench), in its Wine prefix and on its display.
#
#   windows_face_bench.sh KALVO_EXE DRIVER_EXE LINUX_KALVO LANGUAGE_FILE WORK_DIR
#
# Needs WINEPREFIX, DISPLAY, KALVO_TEST_COM_HELD and KALVO_HELD_PATH (the held unit's terminal).
set -euo pipefail
kalvo_exe=$1 driver_exe=$2 linux_kalvo=$3 language_file=$4 work=$5
port=$KALVO_TEST_COM_HELD
poll_seconds=30  # fifteen polls
settle_seconds=4  # the first poll and the first painting of its results are start-up, not polling
export WINEDEBUG=-all

now() { date +%s.%N; }
elapsed_ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", (b - a) * 1000 }'; }
ticks_of() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kb_of() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

folder() {
    rm -rf "$work/$1"
    mkdir -p "$work/$1"
    cp "$language_file" "$work/$1/"
    printf '[Main]\r\nCOM=%s\r\n[Ports]\r\nCOM%s=%s\r\n' "$port" "$port" "$KALVO_HELD_PATH" >"$work/$1/kalvo.ini"
}

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

folder linux
cp "$linux_kalvo" "$work/linux/kalvo"
started=$(now)
(cd "$work/linux" && QT_QPA_PLATFORM=xcb exec ./kalvo) </dev/null >/dev/null 2>&1 &
linux_pid=$!
xdotool search --sync --onlyvisible --name "^Kalvo V2.03$" >/dev/null
linux_ms=$(elapsed_ms "$started" "$(now)")
read -r linux_rss linux_cpu linux_poll_ms _ < <(measure_polling "$linux_pid")
kill "$linux_pid"
wait "$linux_pid" 2>/dev/null || true

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

#!/usr/bin/env bash
# The Qt program's footprint beside a bare Qt window, on this machine in one run: resident memory
# while polling a proper unit (unitsim --pace) and the time from start to the window shown. The two
# programs take turns, ROUNDS times (default 5), and the medians are compared: memory as a
# difference and a ratio, start-up as a ratio. Measured and printed, never asserted.
#
#   qt_face_bench.sh KALVO LANGUAGE_FILE BARE_QT_WINDOW UNITSIM WORK_DIR [ROUNDS]
#
# Runs on DISPLAY when it is set, else on a display of its own (xvfb-run).
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$@"
fi
kalvo=$(realpath "$1") language_file=$2 bare=$(realpath "$3") unitsim=$4 work=$5 rounds=${6:-5}
settle_seconds=4   # start-up and the first poll's painting are not polling
poll_seconds=10    # five polls
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=bench/window_bench.sh
. "$here/window_bench.sh"
export QT_QPA_PLATFORM=xcb

mkdir -p "$work"
rm -f "$work/unit.out"
"$unitsim" --pace --seed 7 </dev/null >"$work/unit.out" 2>"$work/unit.log" &
unit_pid=$!
trap 'kill "$unit_pid" 2>/dev/null || true' EXIT
until [ -s "$work/unit.out" ]; do
    kill -0 "$unit_pid" 2>/dev/null || { echo "qt_face_bench: unitsim ended" >&2; exit 1; }
    sleep 0.1
done
unit_path=$(head -n 1 "$work/unit.out")
program_folder "$work/kalvo" "$language_file" 20 "$unit_path"
cp "$kalvo" "$work/kalvo/kalvo"

# Starts the program in its folder and waits for its window: "<ms to the window> <pid>". Asks the
# display every few milliseconds (xdotool's own --sync looks only twice a second).
start_shown() {
    local folder=$1 program=$2 title=$3 started pid
    started=$(now)
    (cd "$folder" && exec "$program") </dev/null >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" --name "^$title\$" >/dev/null; do
        kill -0 "$pid" 2>/dev/null || { echo "qt_face_bench: $program ended before its window showed" >&2; exit 1; }
    done
    echo "$(elapsed_ms "$started" "$(now)") $pid"
}

# "<ms to the window> <resident KiB after the poll time>" of one run.
measure() {
    local ms pid rss
    read -r ms pid < <(start_shown "$@") || exit 1
    sleep $((settle_seconds + poll_seconds))
    rss=$(rss_kb_of "$pid")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$ms $rss"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

kalvo_ms=() kalvo_kb=() bare_ms=() bare_kb=()
for ((round = 1; round <= rounds; ++round)); do
    read -r ms kb < <(measure "$work/kalvo" ./kalvo "Kalvo V2.03")
    kalvo_ms+=("$ms") kalvo_kb+=("$kb")
    read -r ms kb < <(measure "$work" "$bare" "Bare Qt window")
    bare_ms+=("$ms") bare_kb+=("$kb")
    echo "round $round: kalvo ${kalvo_ms[-1]} ms, ${kalvo_kb[-1]} KiB; bare window $ms ms, $kb KiB"
done
k_ms=$(printf '%s\n' "${kalvo_ms[@]}" | median) k_kb=$(printf '%s\n' "${kalvo_kb[@]}" | median)
b_ms=$(printf '%s\n' "${bare_ms[@]}" | median) b_kb=$(printf '%s\n' "${bare_kb[@]}" | median)

printf '\n%-44s %12s %12s %12s\n' "Medians of $rounds rounds" "kalvo" "bare window" "kalvo/bare"
printf '%-44s %12s %12s %12s\n' "start to window (ms)" "$k_ms" "$b_ms" \
    "$(awk -v a="$k_ms" -v b="$b_ms" 'BEGIN { printf "%.2fx", a / b }')"
printf '%-44s %12s %12s %12s\n' "resident memory while polling (KiB)" "$k_kb" "$b_kb" \
    "$(awk -v a="$k_kb" -v b="$b_kb" 'BEGIN { printf "%.2fx", a / b }')"
printf '%-44s %12s\n' "kalvo's extra memory (MB)" "$(awk -v a="$k_kb" -v b="$b_kb" 'BEGIN { printf "%+.1f", (a - b) / 1024 }')"

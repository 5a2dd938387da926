#!/usr/bin/env bash
# kalvo.exe and kalvo-record.exe under Wine where a technician's laptop differs from a test bench:
# the adapter is pulled and a new one appears under the same COM number; the programs lie in a
# folder whose name the ANSI code page cannot spell, or one deeper than Windows' 260 characters; the
# settings file is marked read-only.
#
#   system_test.sh KALVO_EXE RECORD_EXE DRIVER_EXE LANGUAGE_FILE WORK_DIR
#
# scripts/windows-leg provides WINEPREFIX (a prefix with Managed=N), DISPLAY and KALVO_NATIVE_BUILD
# (unitsim); the test starts its own units and points the prefix's COM links at them. A missing one
# fails the test. Prints the figures it measures (polls until a replugged unit is read again).
set -uo pipefail

kalvo_exe=$1 record_exe=$2 driver_exe=$3 language_file=$4 work=$(realpath -m "$5")
source "$(dirname "$0")/checks.sh"
require_environment WINEPREFIX DISPLAY KALVO_NATIVE_BUILD
unitsim="$KALVO_NATIVE_BUILD/tools/unitsim/unitsim"
[ -x "$unitsim" ] || { echo "FAIL: no $unitsim"; exit 1; }

# COM numbers of this test's own links, away from the leg's units (33..39).
replug_record_port=44 replug_window_port=45 unit_port=46
transfer_error="1    Transfer error. Check COM-Port."

unit_pids=()
links=()
program_pids=()
cleanup() {
    for pid in "${program_pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${unit_pids[@]}"; do kill "$pid" 2>/dev/null; done
    for link in "${links[@]}"; do rm -f "$link"; done
}
trap cleanup EXIT

# Starts a unit that answers properly at the pace of the line; sets unit_pid and unit_path.
start_unit() {
    local name=$1 seed=$2 out="$work/unit-$1.out"
    rm -f "$out"
    "$unitsim" --mode normal --pace --seed "$seed" </dev/null >"$out" 2>"$work/unit-$name.log" &
    unit_pid=$!
    unit_pids+=("$unit_pid")
    local deadline=$((SECONDS + patience))
    until [ -s "$out" ]; do
        kill -0 "$unit_pid" 2>/dev/null || { echo "FAIL: unitsim ended: $(cat "$work/unit-$name.log")"; exit 1; }
        [ $SECONDS -lt $deadline ] || { echo "FAIL: unitsim named no terminal"; exit 1; }
        sleep 0.1
    done
    unit_path=$(head -n 1 "$out")
}

# Points COM<port> of the prefix at a terminal, as plugging an adapter in gives it its number.
link_port() {
    local link="$WINEPREFIX/dosdevices/com$1"
    ln -sfn "$2" "$link"
    links+=("$link")
}

# Pulls a unit: its terminal goes away as an unplugged adapter's does.
pull_unit() {
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

wait_until() {
    local deadline=$((SECONDS + patience))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# The status column of every poll recorded in a folder, oldest first.
poll_statuses() { tail -q -n +2 "$1"/readings-*.csv 2>/dev/null | tr -d '\r' | awk -F, '{ print $2 }'; }
ok_polls_at_least() { [ "$(poll_statuses "$1" | grep -c '^ok$')" -ge "$2" ]; }
polls_at_least() { [ "$(poll_statuses "$1" | wc -l)" -ge "$2" ]; }

mkdir -p "$work"

echo "== kalvo-record.exe: the adapter pulled, a new one under the same COM$replug_record_port"
start_unit record-first 51
first_unit=$unit_pid
link_port $replug_record_port "$unit_path"
recording="$work/replug-recording"
rm -rf "$recording"
wine "$record_exe" --port "COM$replug_record_port" --out "$(winepath -w "$recording")" --quiet \
    </dev/null >"$work/replug-record.log" 2>&1 &
recorder=$!
program_pids+=("$recorder")
if wait_until ok_polls_at_least "$recording" 2; then
    pull_unit "$first_unit"
    failed_polls() { [ "$(poll_statuses "$recording" | grep -vc '^ok$')" -ge 1 ]; }
    wait_until failed_polls || fail "the pulled unit's polls still read as good"
    start_unit record-second 52
    link_port $replug_record_port "$unit_path"
    plugged_at=$(poll_statuses "$recording" | wc -l)
    if wait_until polls_at_least "$recording" $((plugged_at + 1)) &&
        wait_until ok_polls_at_least "$recording" "$(($(poll_statuses "$recording" | grep -c '^ok$') + 1))"; then
        first_ok=$(poll_statuses "$recording" | awk -v from="$plugged_at" 'NR > from && $0 == "ok" { print NR; exit }')
        echo "kalvo-record.exe: read the new unit at poll $((first_ok - plugged_at)) after it was plugged in"
        [ $((first_ok - plugged_at)) -le 2 ] || fail "the new unit was read only at poll $((first_ok - plugged_at))"
    else
        fail "kalvo-record.exe did not read the new unit: $(poll_statuses "$recording" | tail -n +$((plugged_at + 1)) | sort | uniq -c | tr '\n' ' ')"
    fi
else
    fail "kalvo-record.exe recorded no good polls: $(cat "$work/replug-record.log")"
fi
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null

echo "== kalvo.exe: the adapter pulled, a new one under the same COM$replug_window_port"
start_unit window-first 53
first_unit=$unit_pid
link_port $replug_window_port "$unit_path"
folder="$work/replug-window"
rm -rf "$folder"
mkdir -p "$folder"
cp "$kalvo_exe" "$language_file" "$folder/"
printf '[Main]\r\nCOM=%s\r\n' $replug_window_port >"$folder/kalvo.ini"
(cd "$folder" && exec wine kalvo.exe) </dev/null >"$folder/wine.log" 2>&1 &
program=$!
program_pids+=("$program")
if drive wait-window $patience && drive wait-memo 1 $patience; then
    pull_unit "$first_unit"
    drive wait-panel 1 "$transfer_error" $patience || fail "the pulled unit's poll shows no transfer error"
    start_unit window-second 54
    link_port $replug_window_port "$unit_path"
    plugged=$SECONDS
    if drive wait-panel 1 "" $patience; then
        echo "kalvo.exe: read the new unit $((SECONDS - plugged)) s after it was plugged in"
        drive wait-memo 1 $patience || fail "the new unit's readings do not show"
    else
        fail "kalvo.exe did not read the new unit"
    fi
    drive wait-panel 0 "  COM$replug_window_port" 1 || fail "the port is no longer selected"
    drive close
    drive wait-gone $patience || fail "kalvo.exe did not end"
else
    fail "kalvo.exe did not show the first unit's readings"
fi
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null

echo "== Folders named outside the ANSI code page"
start_unit named 55
link_port $unit_port "$unit_path"
setting() { tr -d '\r' <"$1/kalvo.ini" | sed -n "s/^$2=//p"; }
# Polish, Greek and Cyrillic letters, and spaces.
for name in "Łódź-Δ" "Zażółć gęślą jaźń" "Ελληνικός φάκελος" "Новая папка"; do
    folder="$work/named/$name"
    rm -rf "$folder"
    mkdir -p "$folder"
    cp "$kalvo_exe" "$record_exe" "$language_file" "$folder/"
    printf '[Main]\r\nCOM=%s\r\n' $unit_port >"$folder/kalvo.ini"

    (cd "$folder" && exec wine kalvo.exe) </dev/null >"$work/named-wine.log" 2>&1 &
    program=$!
    program_pids+=("$program")
    if drive wait-window $patience && drive wait-memo 1 $patience; then
        box=$(drive message-box 1 2>/dev/null) && fail "$name: kalvo.exe shows an error: $box"
        drive click BitBtn3
        drive answer $patience "Save As" "$(winepath -w "$folder/report")" || fail "$name: no save dialog to answer"
        wait_until test -s "$folder/report.txt" || fail "$name: the report was not saved in the folder"
        drive menu Quit1
        if drive wait-gone $patience; then
            box=$(drive message-box 1 2>/dev/null) && fail "$name: kalvo.exe shows an error at Quit: $box"
            wait "$program" 2>/dev/null
            [ "$(setting "$folder" COM)" = "$unit_port" ] && [ -n "$(setting "$folder" Panel)" ] ||
                fail "$name: kalvo.ini was not written: $(cat "$folder/kalvo.ini")"
        else
            fail "$name: File > Quit did not end kalvo.exe"
        fi
    else
        fail "$name: kalvo.exe did not show the unit's readings"
    fi
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null

    # The recorder takes its language file from its own folder and records into one named alike.
    recording="$folder/Запись $name"
    if (cd "$folder" && wine kalvo-record.exe --port "COM$unit_port" --out "$(winepath -w "$recording")" \
        --duration 5s --quiet) </dev/null >"$work/named-record.log" 2>&1; then
        grep -q . "$work/named-record.log" && fail "$name: kalvo-record.exe complains: $(cat "$work/named-record.log")"
        ok_polls_at_least "$recording" 1 || fail "$name: kalvo-record.exe recorded no good poll"
        # The state's text comes from the language file beside the program.
        tail -q -n +2 "$recording"/readings-*.csv | grep -q ',ok,[0-9]*,[^,]' ||
            fail "$name: the recording has no state texts (language file not read)"
        (cd "$folder" && wine kalvo-record.exe --report "$(winepath -w "$recording")") </dev/null >/dev/null 2>&1 ||
            fail "$name: kalvo-record.exe --report failed"
        grep -q '<svg class="chart"' "$recording/night-report.html" 2>/dev/null || fail "$name: no night report"
    else
        fail "$name: kalvo-record.exe failed: $(cat "$work/named-record.log")"
    fi
done

echo "== A settings file marked read-only"
folder="$work/read only"
rm -rf "$folder"
mkdir -p "$folder"
cp "$kalvo_exe" "$language_file" "$folder/"
printf '[Main]\r\nCOM=%s\r\nPanel=1\r\n' $unit_port >"$folder/kalvo.ini"
cp "$folder/kalvo.ini" "$work/read-only-before.ini"
settings_path=$(winepath -w "$folder/kalvo.ini")
wine attrib +r "$settings_path" </dev/null >/dev/null 2>&1 || fail "attrib +r failed"
(cd "$folder" && exec wine kalvo.exe) </dev/null >"$work/read-only-wine.log" 2>&1 &
program=$!
program_pids+=("$program")
if drive wait-window $patience && drive wait-memo 1 $patience; then
    drive tab PageControl1 1
    drive menu Quit1
    box=$(drive message-box $patience) || fail "Quit showed no error"
    [ "$box" = "title Kalvo
text Unable to write to $settings_path." ] || fail "the error box reads: $box"
    drive wait-gone $patience || fail "kalvo.exe did not end after the error"
    cmp -s "$work/read-only-before.ini" "$folder/kalvo.ini" || fail "the read-only kalvo.ini was replaced"
    wine attrib "$settings_path" </dev/null 2>/dev/null | grep -q '^ *[A-Z ]*R' || fail "kalvo.ini lost its read-only mark"
else
    fail "kalvo.exe did not show the unit's readings"
fi
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null

echo "== Folders deeper than 260 characters"
# The folder's Windows path (drive Z: is the root), exactly as long as asked; winepath itself stops at 260.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
letters() { printf "%${2}s" | tr ' ' "$1"; }
deep_folder() {
    local folder="$work/deep-$1"
    # Folders of 60 letters while more than one is left to add, then one of the length left.
    while [ $((${#folder} + 2 + 61 + 10)) -lt "$1" ]; do folder+="/$(letters d 60)"; done
    echo "$folder/$(letters e $(($1 - ${#folder} - 3)))"
}
for length in 250 270 320; do
    folder=$(deep_folder $length)
    rm -rf "$work/deep-$length"
    mkdir -p "$folder"
    cp "$kalvo_exe" "$record_exe" "$language_file" "$folder/"
    printf '[Main]\r\nCOM=%s\r\n' $unit_port >"$folder/kalvo.ini"
    win_folder=$(windows_path "$folder")
    [ ${#win_folder} -eq $length ] || fail "the folder's path has ${#win_folder} characters, not $length"

    (cd "$folder" && exec wine "$folder/kalvo.exe") </dev/null >"$work/deep-wine.log" 2>&1 &
    program=$!
    program_pids+=("$program")
    if drive wait-window $patience && drive wait-memo 1 $patience; then
        # The system's file dialog takes no path beyond 260 characters (Wine's says it does not
        # exist, also in its short form): only a name that fits is saved through it.
        if [ $length -le 250 ]; then
            drive click BitBtn3
            drive answer $patience "Save As" "$win_folder\\r" || fail "$length: the save dialog did not take the name"
            wait_until test -s "$folder/r.txt" || fail "$length: the report was not saved in the folder"
        fi
        box=$(drive message-box 1 2>/dev/null) && fail "$length: kalvo.exe shows an error: $box"
        drive keys alt+f q
        drive wait-gone $patience || fail "$length: File > Quit did not end kalvo.exe"
        wait "$program" 2>/dev/null
        [ -n "$(setting "$folder" Panel)" ] || fail "$length: kalvo.ini was not written: $(cat "$folder/kalvo.ini")"
    else
        fail "$length: kalvo.exe did not show the unit's readings"
    fi
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null

    recording="$win_folder\\recording"
    if wine "$folder/kalvo-record.exe" --port "COM$unit_port" --out "$recording" --duration 5s --quiet \
        </dev/null >"$work/deep-record.log" 2>&1; then
        ok_polls_at_least "$folder/recording" 1 || fail "$length: kalvo-record.exe recorded no good poll"
        wine "$folder/kalvo-record.exe" --report "$recording" </dev/null >"$work/deep-report.log" 2>&1 ||
            fail "$length: kalvo-record.exe --report failed: $(cat "$work/deep-report.log")"
        grep -q '<svg class="chart"' "$folder/recording/night-report.html" 2>/dev/null || fail "$length: no night report"
    else
        fail "$length: kalvo-record.exe failed: $(cat "$work/deep-record.log")"
    fi
done
# A name longer than any file system takes is refused as such, not as a folder that is not there.
long_name=$(letters n 300)
if wine "$record_exe" --port "COM$unit_port" --out "$(windows_path "$work")\\$long_name" --duration 5s --quiet \
    </dev/null >"$work/long-name.log" 2>&1; then
    fail "kalvo-record.exe recorded into a folder whose name has 300 characters"
else
    grep -q "path too long: a name in it has 300 characters" "$work/long-name.log" ||
        fail "kalvo-record.exe does not say the path is too long: $(cat "$work/long-name.log")"
fi
grep -aq "<longPathAware[^>]*>true</longPathAware>" "$record_exe" || fail "kalvo-record.exe does not declare long paths"

finish "windows system test"

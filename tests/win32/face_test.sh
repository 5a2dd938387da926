#!/usr/bin/env bash
# The Win32 face under Wine: kalvo.exe runs against simulated units on COM ports, and the test
# driver reads and works the window from outside as a user would. What the window must show comes
# from expected_view, the window layer run natively against the same unit bytes.
#
#   face_test.sh KALVO_EXE DRIVER_EXE LANGUAGE_FILE WORK_DIR
#
# scripts/windows-leg provides the environment: WINEPREFIX (a prefix with Managed=N and the
# dosdevices COM links), DISPLAY (one Xvfb for all), KALVO_NATIVE_BUILD (expected_view),
# KALVO_TEST_COM_HELD with KALVO_HELD_SEED and KALVO_HELD_AT (a unitsim held at that seed and
# time), KALVO_TEST_COM_SILENT (a unit that never answers). A missing one fails the test: the leg
# must never pass with the face untested. Leaves the screenshots of both pages in WORK_DIR.
set -uo pipefail

kalvo_exe=$1 driver_exe=$2 language_file=$3 work=$4
source "$(dirname "$0")/checks.sh"
require_environment WINEPREFIX DISPLAY KALVO_NATIVE_BUILD KALVO_TEST_COM_HELD KALVO_HELD_SEED KALVO_HELD_AT \
    KALVO_TEST_COM_SILENT
expected_view="$KALVO_NATIVE_BUILD/tests/win32/expected_view"
linux_face_shot="$KALVO_NATIVE_BUILD/tests/win32/qt_client_shot"
for helper in "$expected_view" "$linux_face_shot"; do
    [ -x "$helper" ] || { echo "FAIL: no $helper"; exit 1; }
done

held=$KALVO_TEST_COM_HELD silent=$KALVO_TEST_COM_SILENT
expected() { "$expected_view" "$1" "$language_file" "${@:2}"; }
# Dumps without the showing page, which the test itself switches, and without Memo10, the
# exports' hidden scratch box, which the export checks look at through the exports themselves.
comparable() { grep -av -e '^PageControl1.active=' -e '^Memo10|'; }
# An edit control's text ends at a NUL, so the face shows a line up to its first.
as_edit_shows() { perl -pe 's/\0[^\n]*//'; }

# Waits until the window shows an expected dump (a file; a second one is another outcome the layer
# decides for a different timing); on time-out shows the difference.
expect_dump() {
    local what=$1 filter=$2 want=$3 or_want=${4:-} deadline=$((SECONDS + patience))
    as_edit_shows <"$want" | $filter >"$work/want.txt"
    [ -n "$or_want" ] && as_edit_shows <"$or_want" | $filter >"$work/or-want.txt"
    while [ $SECONDS -lt $deadline ]; do
        drive dump | $filter >"$work/got.txt"
        cmp -s "$work/want.txt" "$work/got.txt" && return 0
        [ -n "$or_want" ] && cmp -s "$work/or-want.txt" "$work/got.txt" && return 0
        sleep 0.2
    done
    fail "$what: the window shows something else than the layer decided:"
    diff -a "$work/want.txt" "$work/got.txt" | head -40
}

wait_for_file() {
    local path=$1 deadline=$((SECONDS + patience))
    until [ -s "$path" ]; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# A program folder of its own: kalvo.exe, MY.LNG (unless "without-language") and the settings
# naming the port.
program_pid=""
start_program() {
    local folder="$work/$1" port=$2
    rm -rf "$folder"
    mkdir -p "$folder"
    cp "$kalvo_exe" "$folder/"
    [ "${3:-}" = without-language ] || cp "$language_file" "$folder/"
    printf '[Main]\r\nCOM=%s\r\n' "$port" >"$folder/kalvo.ini"
    (cd "$folder" && exec wine kalvo.exe) </dev/null >"$folder/wine.log" 2>&1 &
    program_pid=$!
    drive wait-window $patience || { fail "kalvo.exe showed no window"; return 1; }
}

stop_program() {
    [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null
    program_pid=""
}

setting() { tr -d '\r' <"$work/$1/kalvo.ini" | sed -n "s/^$2=//p"; }

screenshot() {
    local rect left top width height
    rect=$(drive window-rect) || return 1
    read -r left top width height <<<"$rect"
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$work/$1" ||
        fail "no screenshot $1"
}

# The client area as the screen shows it.
client_shot() {
    local rect left top width height
    rect=$(drive client-rect) || return 1
    read -r left top width height <<<"$rect"
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$work/$1"
}

# "LEFT TOP WIDTH HEIGHT" of the part of the control that shows, on the linux or the windows face.
place_on() { sed -n "s/^$2 //p" "$work/$1-places.txt"; }

# Both faces show the same part of the control at the same place in the client area.
placed_alike() {
    local linux windows
    linux=$(place_on linux "$1") windows=$(place_on windows "$1")
    [ -n "$linux" ] && [ "$linux" = "$windows" ] ||
        fail "$1 shows at $windows (left top width height in the client area), on the Linux face at $linux"
}

# The client area's part at the control's place on the Linux face, from the face's picture page
# shot, with the rectangles given as further arguments painted black.
crop_at() {
    local face=$1 name=$2 left top width height
    read -r left top width height <<<"$(place_on linux "$name")"
    convert "$work/$face-picture-client.png" -alpha off -fill black "${@:3}" \
        -crop "${width}x${height}+${left}+${top}" +repage "$work/$face-$name.png"
}

# Prints what differs between the faces' picture pages; nothing when they agree. The schematic with
# the component pictures over it must be the same to the pixel. The value labels are left out, as
# the faces write them in fonts of their own; the logo too, a JPEG picture whose colour planes the
# faces' decoders round differently: up to a quarter of the range at single pixels, well under a
# percent on average. It must still stand at the same place, which a shift by one pixel (about 3%
# on average, most of the range at its edges) would break.
picture_page_difference() {
    local masks=() face name l t w h differing mean peak
    for face in linux windows; do
        for name in Label2 Label3 Label4 Label5 Label6 Image1; do
            read -r l t w h <<<"$(place_on $face $name)"
            masks+=(-draw "rectangle $l,$t $((l + w - 1)),$((t + h - 1))")
        done
    done
    for face in linux windows; do
        crop_at $face ImageMain "${masks[@]}" && crop_at $face Image1 || return 1
    done
    differing=$(compare -metric AE "$work/linux-ImageMain.png" "$work/windows-ImageMain.png" \
        "$work/schematic-difference.png" 2>&1)
    [ "$differing" = 0 ] || echo "the schematic differs from the Linux face's in $differing pixels, within" \
        "$(convert "$work/linux-ImageMain.png" "$work/windows-ImageMain.png" -compose difference -composite \
            -threshold 0 -format %@ info: 2>&1) of it (see $work/schematic-difference.png)"
    mean=$(compare -metric MAE "$work/linux-Image1.png" "$work/windows-Image1.png" null: 2>&1 | tr -d '()' | cut -d' ' -f2)
    peak=$(compare -metric PAE "$work/linux-Image1.png" "$work/windows-Image1.png" null: 2>&1 | tr -d '()' | cut -d' ' -f2)
    awk -v mean="$mean" -v peak="$peak" 'BEGIN { exit !(mean <= 0.01 && peak <= 0.25) }' ||
        echo "the logo differs from the Linux face's by $mean on average, $peak at most (of the range)"
}

# At a density past 96 dpi, the flame (the transparent picture) is stretched smoothly over the
# schematic as on the Linux face at the same density; prints the difference when it is not: the
# mean over the flame's place, and how many of its pixels differ by more than a tenth of the range.
# The schematic's lines there, stretched by each face's own means, may stand a pixel apart (at
# 144 dpi: 1% on average, 3% of the pixels); a flame stretched pixel by pixel differs by 5% and 19%.
flame_difference() {
    local dpi=$1 l t w h mean share
    QT_SCALE_FACTOR=$(awk -v dpi="$dpi" 'BEGIN { print dpi / 96 }') "$linux_face_shot" "$language_file" \
        "${held_args[@]}" "$work/linux-$dpi-client.png" "$work/linux-$dpi-text.png" >/dev/null 2>"$work/linux-face.log" ||
        { echo "no shot of the Linux face at $dpi dpi: $(cat "$work/linux-face.log")"; return; }
    drive client-places >"$work/windows-$dpi-places.txt" && client_shot "windows-$dpi-client.png" ||
        { echo "no shot of the window at $dpi dpi"; return; }
    read -r l t w h <<<"$(sed -n 's/^ImageFlamme //p' "$work/windows-$dpi-places.txt")"
    for face in linux windows; do
        convert "$work/$face-$dpi-client.png" -alpha off -crop "${w}x${h}+${l}+${t}" +repage "$work/$face-$dpi-flame.png"
    done
    mean=$(compare -metric MAE "$work/linux-$dpi-flame.png" "$work/windows-$dpi-flame.png" null: 2>&1 | tr -d '()' | cut -d' ' -f2)
    share=$(compare -metric AE -fuzz 10% "$work/linux-$dpi-flame.png" "$work/windows-$dpi-flame.png" null: 2>&1)
    echo "flame at $dpi dpi: mean $mean, $share of $((w * h)) pixels differ by more than 10%" >&2
    awk -v mean="$mean" -v share="$share" -v all=$((w * h)) 'BEGIN { exit !(mean <= 0.02 && share <= all * 0.05) }' ||
        echo "at $dpi dpi the flame differs from the Linux face's by $mean on average, $share of $((w * h)) pixels by more than 10% (see $work/*-$dpi-flame.png)"
}

# The colour of the client area's pixel, in the shot.
pixel() { convert "$work/$1" -format "%[pixel:p{$2,$3}]" info:; }

# The disabled check list shows greyed: its ground, beside its rows' texts and below its last row,
# is the system's button face, as the tab row's ground right of the tabs is.
check_list_greyed() {
    local shot=$1 left top width height face right below
    read -r left top width height <<<"$(place_on "$2" CheckListBox1)"
    face=$(pixel "$shot" $((left + width - 1)) 4)
    right=$(pixel "$shot" $((left + width - 12)) $((top + 8)))
    below=$(pixel "$shot" $((left + width / 2)) $((top + height - 5)))
    [ "$right" = "$face" ] && [ "$below" = "$face" ] && return 0
    echo "CheckListBox1's ground is $right beside its first row and $below below its last, the button face $face"
    return 1
}

# At the given density; "moved" for a window that was moved to another monitor, which need not stay
# centred.
geometry_is_the_layout() {
    local dpi=$1 moved=${2:-} geometry
    geometry=$(drive geometry) || { fail "no geometry"; return; }
    # Every control the window has of its own stands where the layout puts it; one sized to its
    # text starts there. The status panels are no windows.
    local want
    want=$(expected layout "$dpi") || { fail "no layout"; return; }
    grep -q '^maximize-box 0$' <<<"$geometry" || fail "the window can be maximised"
    while read -r name place; do
        [ "$name" = Panel0 ] && continue
        grep -q "^$name $place\( \|$\)" <<<"$geometry" ||
            fail "at $dpi dpi, $name is at $(grep "^$name " <<<"$geometry" | cut -d' ' -f2-), not at $place"
    done <<<"$want"
    local dx dy
    read -r _ dx dy < <(grep '^centre-offset' <<<"$geometry")
    [ -n "$moved" ] || { [ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ]; } || fail "the window is not centred (offset $dx $dy)"
    grep '^outer' <<<"$geometry"
}

# Every report line, tab caption, status panel text and label shows whole.
texts_are_whole() {
    local cut
    cut=$(drive "$1" "$2") || { fail "cannot measure the texts ($1)"; return; }
    [ -z "$cut" ] || fail "at $2 dpi, texts are cut: $cut"
}

# A value wider than any the unit gives shows whole in each value label: the label grows to it.
wide_values_are_whole() {
    local label cut
    for label in Label2 Label3 Label4 Label5 Label6; do
        cut=$(drive label-cut $label "2647.8 u" "$1") || { fail "cannot measure $label"; continue; }
        [ -z "$cut" ] || fail "at $1 dpi, a wide value is cut: $cut"
    done
}

# Memo1 shows at least as many report lines, PageControl2 as many tabs as at 96 dpi.
shown_as_at_96() {
    local lines tabs
    lines=$(drive shown-lines Memo1) || { fail "cannot count Memo1's lines"; return; }
    [ "$lines" -ge "$report_lines" ] || fail "$1: Memo1 shows $lines report lines, at 96 dpi $report_lines"
    tabs=$(drive shown-tabs PageControl2) || { fail "cannot count the error tabs"; return; }
    [ "$tabs" -ge "$error_tabs" ] || fail "$1: $tabs error tabs show whole, at 96 dpi $error_tabs"
}

# The display's pixel density as Wine gives it to programs started from now on.
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1 ||
        fail "cannot set the display to $1 dpi"
}
scaled() { echo $((($1 * $2 + 48) / 96)); }

mkdir -p "$work"
rm -f "$work"/*.png "$work"/*.txt
set_dpi 96
test_printer="Kalvo Test PostScript"
drive remove-printer "$test_printer" || fail "a test printer of an earlier run stays"
echo "== Start-up and first poll (COM$held, unit held at seed $KALVO_HELD_SEED, ${KALVO_HELD_AT} ms)"
held_args=("$held" "$KALVO_HELD_SEED" "$KALVO_HELD_AT")
expected first-poll "${held_args[@]}" >"$work/first-poll.txt" || exit 1
start_program held "$held" || exit 1
geometry_is_the_layout 96
expect_dump "first poll" cat "$work/first-poll.txt"
texts_are_whole cut-texts 96
report_lines=$(drive shown-lines Memo1) || fail "cannot count Memo1's lines"
error_tabs=$(drive shown-tabs PageControl2) || fail "cannot count the error tabs"
echo "At 96 dpi: $report_lines report lines and $error_tabs error tabs show whole"
screenshot windows-picture-page.png

echo "== Beside the Linux face at the same unit moment"
"$linux_face_shot" "$language_file" "${held_args[@]}" "$work/linux-picture-client.png" \
    "$work/linux-text-client.png" >"$work/linux-places.txt" 2>"$work/linux-face.log" ||
    fail "no shots of the Linux face: $(cat "$work/linux-face.log")"
drive client-places >"$work/windows-places.txt" || fail "cannot read the controls' places"
for name in TabSheet1 TabSheet2 ImageMain Image1 PageControl2 TabSheet3 Memo2 CheckListBox1; do
    placed_alike $name
done
# The window may still be painting what the driver read: shot and comparison until they agree.
deadline=$((SECONDS + patience))
until client_shot windows-picture-client.png && difference=$(picture_page_difference) && [ -z "$difference" ]; do
    [ $SECONDS -lt $deadline ] && { sleep 0.2; continue; }
    fail "${difference:-no comparison of the picture pages}"
    break
done
check_list_greyed linux-text-client.png linux >/dev/null || fail "on the Linux face, $(check_list_greyed linux-text-client.png linux)"

drive tab PageControl1 1
screenshot windows-text-page.png
wide_values_are_whole 96
deadline=$((SECONDS + patience))
until client_shot windows-text-client.png && check_list_greyed windows-text-client.png windows >/dev/null; do
    [ $SECONDS -lt $deadline ] && { sleep 0.2; continue; }
    fail "$(check_list_greyed windows-text-client.png windows)"
    break
done

echo "== Copy to Clipboard by the keyboard: Tab to the button, Space, then Enter"
export_text=$(expected export "${held_args[@]}"; echo x)  # keeps the trailing line ends
export_text=${export_text%x}
# Waits until the clipboard holds the export text.
clipboard_holds_export() {
    local clipboard deadline=$((SECONDS + patience))
    while [ $SECONDS -lt $deadline ]; do
        clipboard=$(drive clipboard 2>/dev/null; echo x)
        [ "${clipboard%x}" = "$export_text" ] && return 0
        sleep 0.2
    done
    return 1
}
# From wherever the focus is, Tab walks the layout's order: the page tabs, the report, the buttons;
# Shift+Tab walks it back.
walk=""
for _ in 1 2 3 4 5 6; do
    drive keys tab || break
    walk+="$(drive focus) "
    [[ $walk == *"BitBtn1 " ]] && break
done
[[ " $walk" == *" Memo1 BitBtn1 " ]] || fail "Tab went $walk, not by the report to BitBtn1"
drive keys shift+tab shift+tab && [ "$(drive focus)" = PageControl1 ] ||
    fail "Shift+Tab twice from BitBtn1 went to $(drive focus), not to the page tabs"
drive keys tab tab && [ "$(drive focus)" = BitBtn1 ] || fail "Tab twice from the page tabs went to $(drive focus)"
drive clear-clipboard
drive keys space
clipboard_holds_export || fail "Space on Copy to Clipboard put no export text on the clipboard"
drive clear-clipboard
drive keys enter
clipboard_holds_export || fail "Enter on Copy to Clipboard put no export text on the clipboard"

echo "== Save As"
saved="$work/held/saved report.txt"
drive click BitBtn3
drive answer $patience "Save As" "$(winepath -w "${saved%.txt}")" || fail "no save dialog to answer"
if wait_for_file "$saved"; then
    cmp -s "$saved" <(printf '%s' "$export_text") || fail "the saved file is not the export text"
else
    fail "nothing saved as $saved (the default extension txt was to be added)"
fi

echo "== Print without a printer"
drive click BitBtn2
box=$(drive message-box $patience) || fail "no error box"
[ "$box" = "$(expected no-printer "${held_args[@]}")" ] || fail "the error box reads: $box"

echo "== Print on a PostScript printer"
printout="$work/held/printout.ps"
drive add-printer "$test_printer" || fail "no test printer"
drive click BitBtn2
drive answer $patience "Print to File" "$(winepath -w "$printout")" || fail "no print-to-file question"
deadline=$((SECONDS + patience))
until grep -aq '^%%EOF' "$printout" 2>/dev/null || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
pages=$(grep -a '^%%Pages: [0-9]' "$printout" 2>/dev/null | sed 's/%%Pages: //')
[ "${pages:-0}" -ge 1 ] || fail "the printout has no pages"
printed=$(gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=txtwrite -sOutputFile=- "$printout" 2>/dev/null)
grep -q "Ombrel Kalvo" <<<"$printed" || fail "the printout has no header line"
first_line=$(printf '%s' "$export_text" | head -n 1 | tr -d '\r')
grep -qF "$first_line" <<<"$printed" || fail "the printout lacks the report's first line \"$first_line\""
echo "printout: ${pages:-0} page(s)"
drive remove-printer "$test_printer" || fail "the test printer stays"

echo "== Port dialog"
label_caption=$(expected captions | sed -n 's/^label //p')
drive keys alt+s c || fail "the Setup menu did not open"
dialog=$(drive dialog $patience) || fail "the menu opened no port dialog"
grep -qx "item COM$held" <<<"$dialog" || fail "COM$held is not listed: $dialog"
grep -qx "selected 0" <<<"$dialog" || fail "the first listed port is not preselected: $dialog"
grep -qxF "label $label_caption" <<<"$dialog" || fail "the dialog's label reads otherwise: $dialog"
grep -qx "client 140 112" <<<"$dialog" || fail "the dialog's client area is not 140 x 112: $dialog"
texts_are_whole dialog-cut-texts 96
index=$(grep '^item ' <<<"$dialog" | grep -nx "item COM$held" | cut -d: -f1)
drive dialog-select $((index - 1))
drive dialog-ok
expect_dump "polling again on the chosen port" comparable "$work/first-poll.txt"

echo "== Another unit and back: what a poll changes and changes back shows each time"
choose_port() {
    drive menu COMPort1
    local index
    index=$(drive dialog $patience | grep '^item ' | grep -nx "item COM$1" | cut -d: -f1)
    [ -n "$index" ] || { fail "COM$1 is not listed"; drive dialog-close; return; }
    drive dialog-select $((index - 1))
    drive dialog-ok
}
expected silent "$silent" >"$work/silent.txt"
choose_port "$silent"
expect_dump "the silent unit after the held one" comparable "$work/silent.txt"
choose_port "$held"
expect_dump "the held unit again" comparable "$work/first-poll.txt"

echo "== Port dialog closed by its title bar"
drive menu COMPort1
drive dialog $patience >/dev/null || fail "the menu command opened no port dialog"
drive dialog-close
# The command may come between two polls or inside one that waits for the unit (the wait lets
# messages through); the waiting poll then ends without its data.
expected dialog-closed "${held_args[@]}" >"$work/dialog-closed.txt"
expected dialog-closed-in-poll "${held_args[@]}" >"$work/dialog-closed-in-poll.txt"
expect_dump "after the dialog closed without OK" comparable "$work/dialog-closed.txt" "$work/dialog-closed-in-poll.txt"

echo "== Trend window beside the main window, kept at Quit"
drive menu Trend1
if trend=$(drive wait-trend $patience); then
    read -r trend_left _ trend_width _ <<<"$trend"
    read -r main_left _ main_width _ <<<"$(drive window-rect)"
    [ "$trend_left" -ge $((main_left + main_width)) ] || fail "the trend window ($trend) is not beside the main window"
else
    fail "View > Trend... opened no trend window"
fi

echo "== Quit"
drive keys alt+f q || fail "the File menu did not open"
drive wait-gone $patience || { fail "File > Quit did not end the program"; kill "$program_pid"; }
stop_program
[ "$(setting held COM)" = "-1" ] || fail "COM kept as $(setting held COM), not -1"
[ "$(setting held Panel)" = "2" ] || fail "Panel kept as $(setting held Panel), not 2 (the Text page)"
[ "$(setting held Width)" = "${trend_width:-}" ] || fail "the trend window's width kept as $(setting held Width)"

echo "== A silent unit (COM$silent); log-off keeps the settings; closed by the close button"
start_program silent "$silent" || exit 1
expect_dump "silent unit" cat "$work/silent.txt"
drive end-session || fail "no end of session delivered"
[ "$(setting silent Panel)" = "1" ] || fail "the end of the session kept no settings"
drive close
drive wait-gone $patience || fail "the close button did not end the program"
stop_program
[ "$(setting silent COM)" = "$silent" ] || fail "COM kept as $(setting silent COM), not $silent"
[ "$(setting silent Panel)" = "1" ] || fail "Panel kept as $(setting silent Panel), not 1"

echo "== No language file"
start_program no-language "$silent" without-language || exit 1
box=$(drive message-box $patience) || fail "no error box"
[ "$box" = "$(expected no-language "$silent")" ] || fail "the error box reads: $box"
drive close
drive wait-gone $patience || fail "the close button did not end the program"
stop_program
echo "== Display scaling"
for dpi in 144 192; do
    set_dpi $dpi
    start_program "dpi-$dpi" "$held" || continue
    geometry_is_the_layout $dpi
    expect_dump "first poll at $dpi dpi" cat "$work/first-poll.txt"
    texts_are_whole cut-texts $dpi
    shown_as_at_96 "at $dpi dpi"
    deadline=$((SECONDS + patience))
    until difference=$(flame_difference $dpi) && [ -z "$difference" ]; do
        [ $SECONDS -lt $deadline ] && { sleep 0.2; continue; }
        fail "$difference"
        break
    done
    screenshot "windows-picture-page-${dpi}dpi.png"
    drive tab PageControl1 1
    screenshot "windows-text-page-${dpi}dpi.png"
    wide_values_are_whole $dpi
    drive menu COMPort1
    dialog=$(drive dialog $patience) || fail "the menu command opened no port dialog at $dpi dpi"
    client="client $(scaled 140 $dpi) $(scaled 112 $dpi)"
    grep -qx "$client" <<<"$dialog" || fail "at $dpi dpi, the dialog's client area is not $client: $dialog"
    texts_are_whole dialog-cut-texts $dpi
    drive dialog-close
    drive close
    drive wait-gone $patience || fail "the close button did not end the program"
    stop_program
done
set_dpi 96

echo "== Moved to a monitor of 144 dpi"
start_program moved "$held" || exit 1
expect_dump "first poll before the move" cat "$work/first-poll.txt"
drive dpi-changed 144 || fail "the window took no density change"
geometry_is_the_layout 144 moved
expect_dump "first poll after the move" cat "$work/first-poll.txt"
texts_are_whole cut-texts 144
shown_as_at_96 "moved to 144 dpi"
screenshot windows-picture-page-moved-144dpi.png
wide_values_are_whole 144
drive close
drive wait-gone $patience || fail "the close button did not end the program"
stop_program
finish "win32 face"

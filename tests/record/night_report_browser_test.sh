#!/usr/bin/env bash
# The night report of a simulated night as Chromium sees it: the page parses into the chart with
# its bands, curves and the three markers, and renders to a picture.
#   night_report_browser_test.sh <nightsim> <kalvo-record> <chromium>
set -uo pipefail

nightsim=$1
record=$2
chromium=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$nightsim" "$scratch/night" >/dev/null || { echo "FAIL: nightsim"; exit 1; }
"$record" --report "$scratch/night" --output "$scratch/report.html" >/dev/null || { echo "FAIL: report"; exit 1; }
browse() {
    timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$scratch/profile" --window-size=1100,1500 "$@" "file://$scratch/report.html" 2>/dev/null
}
browse --dump-dom >"$scratch/dom.html" || { echo "FAIL: chromium could not load the page"; exit 1; }

failures=0
expect_count() {
    local what=$1 pattern=$2 expected=$3
    local actual
    actual=$(grep -o "$pattern" "$scratch/dom.html" | wc -l)
    if [ "$actual" -eq "$expected" ]; then echo "ok: $what"; else echo "FAIL: $what: $actual, expected $expected"; failures=$((failures + 1)); fi
}
expect_count "one chart" '<svg class="chart"' 1
expect_count "two lockout markers" '<g class="lockout">' 2
expect_count "one link loss marker" '<g class="linkloss">' 1
expect_count "a curve and a spread for flame current and mains voltage" '<path stroke=' 4
expect_count "a row per hour" '<tr><td>2026-12-0[67] [0-9][0-9]:00</td>' 12

(cd "$scratch" && browse --screenshot="$scratch/shot.png") || { echo "FAIL: no screenshot"; exit 1; }
size=$(stat -c %s "$scratch/shot.png" 2>/dev/null || echo 0)
if [ "$size" -gt 20000 ]; then echo "ok: rendered ($size bytes of PNG)"; else echo "FAIL: screenshot of $size bytes"; failures=$((failures + 1)); fi
[ "$failures" -eq 0 ]

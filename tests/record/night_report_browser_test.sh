#!/usr/bin/env bash
# The night report as Chromium sees it: a simulated night parses into the chart with its bands,
# curves and three markers and a panel up close for each lockout, and renders to a picture; on a phone (390 px) the narrow chart shows
# every marker without scrolling and every text stays
# readable and the page keeps the screen's width; the 55 lockout numbers of a month touch neither
# each other nor the chart's titles, nor do the time labels touch; with the German language file
# the page is German.
#   night_report_browser_test.sh <nightsim> <kalvo-record> <chromium> <night_report_pages> <German MY.LNG>
set -uo pipefail

nightsim=$1
record=$2
chromium=$3
pages=$4
german=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$nightsim" "$scratch/night" >/dev/null || { echo "FAIL: nightsim"; exit 1; }
"$record" --report "$scratch/night" --output "$scratch/report.html" >/dev/null || { echo "FAIL: report"; exit 1; }
"$record" --report "$scratch/night" --language "$german" --output "$scratch/german.html" >/dev/null ||
    { echo "FAIL: German report"; exit 1; }
"$pages" "$scratch" || { echo "FAIL: night_report_pages"; exit 1; }

# browse PAGE WIDTH ARGS...: Chromium on the page in a window WIDTH pixels wide.
browse() {
    local page=$1 width=$2
    shift 2
    timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$scratch/profile" --window-size="$width,1500" "$@" "file://$scratch/$page" 2>/dev/null
}

failures=0
check() {
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: $2, expected $3"; failures=$((failures + 1)); fi
}
count() { grep -o "$1" "$2" | wc -l; }

browse report.html 1100 --dump-dom >"$scratch/dom.html" || { echo "FAIL: chromium could not load the page"; exit 1; }
# A chart for a screen and one for a phone, each with all the markers.
check "two charts" "$(count '<svg class="chart"' "$scratch/dom.html")" 2
check "two lockout markers" "$(count '<g class="lockout">' "$scratch/dom.html")" 4
check "one link loss marker" "$(count '<g class="linkloss">' "$scratch/dom.html")" 2
check "a curve and a spread for flame current and mains voltage, and the two curves of each panel" \
    "$(count '<path stroke=' "$scratch/dom.html")" 12
check "a panel up close for each lockout" "$(count '<div class="panel">' "$scratch/dom.html")" 2
check "a row per hour" "$(count '<tr><td>2026-12-0[67] [0-9][0-9]:00</td>' "$scratch/dom.html")" 12

browse german.html 1100 --dump-dom >"$scratch/german-dom.html"
check "a German page" "$(count '<html lang="de">' "$scratch/german-dom.html")" 1
check "the German chart titles (two charts, two lockout panels)" "$(count 'class="label">\(Brennerzustand\|Flammenstrom (µA)\|Netzspannung (V)\)<' "$scratch/german-dom.html")" 12

# measure PAGE WIDTH: what the page's own layout gives at that width, measured by a script in a
# copy of the page (the report itself holds none).
measure() {
    sed 's|</body>|<script src="measure.js"></script></body>|' "$scratch/$1" >"$scratch/measured-$1"
    browse "measured-$1" "$2" --dump-dom | sed -n '/<pre id="measured">/,/<\/pre>/p' | sed 's/<[^>]*>//g'
}
cat >"$scratch/measure.js" <<'JS'
// The chart the screen shows: the wide one, or on a phone the narrow one.
const svg = [...document.querySelectorAll('svg.chart')].find(s => s.getBoundingClientRect().width > 0);
const scale = svg.getScreenCTM().a;
const chartTexts = [...svg.querySelectorAll('text')];
const smallestChartText = Math.min(...chartTexts.map(t => parseFloat(getComputedStyle(t).fontSize) * scale));
const pageTexts = [...document.querySelectorAll('h1, h2, p, th, td, .legend span')];
const smallestPageText = Math.min(...pageTexts.map(e => parseFloat(getComputedStyle(e).fontSize)));
const numbers = [...svg.querySelectorAll('g.lockout text, g.linkloss text')].map(t => t.getBoundingClientRect());
const titles = [...svg.querySelectorAll('text.label')].map(t => t.getBoundingClientRect());
const touch = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
const times = [...svg.querySelectorAll('text.time')].map(t => t.getBoundingClientRect());
const markers = [...svg.querySelectorAll('g.lockout, g.linkloss')].map(g => g.getBoundingClientRect());
const inView = markers.every(r => r.left >= 0 && r.right <= window.innerWidth);
let overlaps = 0;
numbers.forEach((a, i) => {
    numbers.slice(i + 1).forEach(b => { overlaps += touch(a, b); });
    titles.forEach(b => { overlaps += touch(a, b); });
});
times.forEach((a, i) => times.slice(i + 1).forEach(b => { overlaps += touch(a, b); }));
document.body.insertAdjacentHTML('beforeend', '<pre id="measured">\n' + [
    'readable ' + (smallestChartText >= 10 && smallestPageText >= 12),
    'page-width ' + (document.documentElement.scrollWidth <= window.innerWidth),
    'markers ' + svg.querySelectorAll('g.lockout').length,
    'markers-in-view ' + inView,
    'overlaps ' + overlaps,
].join('\n') + '\n</pre>');
JS
for width in 390 1100; do
    for page in 3min.html 20min.html 30days.html german.html; do
        measured=$(measure "$page" "$width")
        value() { echo "$measured" | sed -n "s/^$1 //p"; }
        check "$page at $width px: texts readable" "$(value readable)" true
        check "$page at $width px: the page keeps the screen's width" "$(value page-width)" true
        check "$page at $width px: marker numbers clear of each other and of the titles, time labels of each other" \
            "$(value overlaps)" 0
        check "$page at $width px: every marker in view without scrolling" "$(value markers-in-view)" true
        [ "$page" = 30days.html ] && check "$page: 55 lockout markers" "$(value markers)" 55
    done
done

(cd "$scratch" && browse report.html 1100 --screenshot="$scratch/shot.png") || { echo "FAIL: no screenshot"; exit 1; }
size=$(stat -c %s "$scratch/shot.png" 2>/dev/null || echo 0)
if [ "$size" -gt 20000 ]; then echo "ok: rendered ($size bytes of PNG)"; else echo "FAIL: screenshot of $size bytes"; failures=$((failures + 1)); fi
[ "$failures" -eq 0 ]

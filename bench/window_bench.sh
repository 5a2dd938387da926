# shellcheck shell=bash
# The helpers of the window benchmarks (qt_face_bench.sh, windows_face_bench.sh), sourced by them.

now() { date +%s.%N; }
elapsed_ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", (b - a) * 1000 }'; }
rss_kb_of() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# A fresh program folder with the language file and settings that open COM<port>, which is the
# terminal at the given path: program_folder FOLDER LANGUAGE_FILE PORT PATH.
program_folder() {
    rm -rf "$1"
    mkdir -p "$1"
    cp "$2" "$1/"
    printf '[Main]\r\nCOM=%s\r\n[Ports]\r\nCOM%s=%s\r\n' "$3" "$3" "$4" >"$1/kalvo.ini"
}

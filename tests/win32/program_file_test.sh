#!/usr/bin/env bash
# kalvo.exe as a file: it imports only Windows' own DLLs (no MinGW runtime beside it), stays small,
# and carries its manifest (per-monitor DPI-aware, aware of long paths), its version information and its icon.
#
#   program_file_test.sh KALVO_EXE OBJDUMP
set -uo pipefail
exe=$1 objdump=$2
max_bytes=$((3 * 1024 * 1024))
source "$(dirname "$0")/checks.sh"

# Windows' own DLLs that a plain Win32 program may import; msvcrt.dll is part of every Windows.
allowed="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msimg32.dll msvcrt.dll ole32.dll
oleaut32.dll shell32.dll user32.dll winspool.drv"
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no import table read from $exe"
for dll in $imports; do
    grep -qw -- "$dll" <<<"$allowed" || fail "kalvo.exe imports $dll, which is not part of Windows"
done

size=$(stat -c %s "$exe")
[ "$size" -le "$max_bytes" ] || fail "kalvo.exe has $size bytes, more than $max_bytes"

grep -aq "<dpiAware[^>]*>true/pm</dpiAware>" "$exe" && grep -aq "<dpiAwareness[^>]*>PerMonitorV2" "$exe" ||
    fail "no per-monitor DPI-aware manifest"
grep -aq "<longPathAware[^>]*>true</longPathAware>" "$exe" || fail "the manifest does not declare long paths"
# Version strings are UTF-16 in the resource: search them as such.
strings -el "$exe" | grep -qx "FileVersion" || fail "no version information"
strings -el "$exe" | grep -qx "kalvo.exe" || fail "the version information does not name kalvo.exe"
"$objdump" -h "$exe" | grep -q "\.rsrc" || fail "no resource section"

echo "kalvo.exe: $size bytes, imports: $(tr '\n' ' ' <<<"$imports")"
finish "kalvo.exe as a file"

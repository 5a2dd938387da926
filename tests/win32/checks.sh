# What the tests of the Windows programs share; sourced, not run. A failed check is counted and the
# test goes on, so one run shows every failure; finish ends the test with the count.
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
finish() {
    [ $failures -eq 0 ] && echo "$1: all checks passed"
    [ $failures -eq 0 ]
}

# The variables scripts/windows-leg sets; without one the test fails, it never passes untested.
require_environment() {
    for variable in "$@"; do
        [ -n "${!variable:-}" ] || { echo "FAIL: $variable is not set (run through scripts/windows-leg)"; exit 1; }
    done
}

export WINEDEBUG=-all  # Wine's own messages would bury the checks' lines
patience=60  # seconds for anything the program or Wine must do; the checks wait for conditions
# Works the window from outside through the test driver ($driver_exe, set by the test).
drive() { wine "$driver_exe" "$@"; }

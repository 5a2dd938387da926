#!/usr/bin/env bash
# scripts/deps.sh against stand-ins for id, dpkg-query, apt-get and sudo that record their calls:
# as root and as a user with sudo, what it asks apt for when nothing, one package or everything
# is missing, and how it waits for package lists that another apt holds.
#   deps_test.sh <scripts/deps.sh>
set -uo pipefail
deps=$1
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT

# The stand-ins read the case from files beside them: uid, installed (one package a line) and
# locked (how many more list refreshes find the lists held).
cat >"$stubs/id" <<'EOF'
#!/bin/sh
cat "$(dirname "$0")/uid"
EOF
cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/sh
for package; do :; done
grep -qx "$package" "$(dirname "$0")/installed" || { echo "no packages found matching $package" >&2; exit 1; }
echo "install ok installed"
EOF
cat >"$stubs/apt-get" <<'EOF'
#!/bin/sh
here=$(dirname "$0")
echo "apt-get $* (frontend ${DEBIAN_FRONTEND:-unset})" >>"$here/calls"
case " $* " in *" update "*)
    locked=$(cat "$here/locked")
    [ "$locked" -eq 0 ] || { echo $((locked - 1)) >"$here/locked"; echo "E: Could not get lock" >&2; exit 100; }
esac
EOF
# Like the real one, sudo passes on no variable of the caller's.
cat >"$stubs/sudo" <<'EOF'
#!/bin/sh
echo "sudo $*" >>"$(dirname "$0")/calls"
exec env -i PATH="$PATH" "$@"
EOF
chmod +x "$stubs"/*

failures=0
pass() { echo "ok: $1"; }
fail() {
    echo "FAIL: $1: status $status, calls:"
    echo "$calls"
    echo "output:"
    cat "$stubs/output"
    failures=$((failures + 1))
}

# run_case UID INSTALLED LOCKED WANTED [LOCK_WAIT]: kalvo_install_deps WANTED as the scripts that
# source deps.sh run it, waiting LOCK_WAIT seconds (default 30) for held lists; sets status and calls.
run_case() {
    echo "$1" >"$stubs/uid"
    tr ' ' '\n' <<<"$2" >"$stubs/installed"
    echo "$3" >"$stubs/locked"
    : >"$stubs/calls"
    status=0
    # shellcheck disable=SC2086  # the packages are split on purpose
    (
        set -euo pipefail
        PATH="$stubs:$PATH"
        unset DEBIAN_FRONTEND
        source "$deps"
        kalvo_apt_lock_wait=${5:-30} kalvo_apt_retry_pause=0.2
        kalvo_install_deps $4
    ) >"$stubs/output" 2>&1 || status=$?
    calls=$(cat "$stubs/calls")
}

update="apt-get -o DPkg::Lock::Timeout=30 update -qq (frontend unset)"
sudo_update="sudo ${update% (*}
$update"
install="apt-get -o DPkg::Lock::Timeout=30 install -y -qq --no-install-recommends libcsv-dev (frontend noninteractive)"
sudo_install="sudo env DEBIAN_FRONTEND=noninteractive ${install% (*}
$install"

# name | uid | installed | refreshes that find the lists held | the calls expected
cases=(
    "root, nothing missing|0|cmake libcsv-dev|0|"
    "user, nothing missing|1000|cmake libcsv-dev|0|"
    "root, one missing|0|cmake|0|$update
$install"
    "user, one missing|1000|cmake|0|$sudo_update
$sudo_install"
    "root, lists held for two refreshes|0|cmake|2|$update
$update
$update
$install"
    "user, lists held for two refreshes|1000|cmake|2|$sudo_update
$sudo_update
$sudo_update
$sudo_install"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r -d '' name uid installed locked expected <<<"$entry" || true
    run_case "$uid" "$installed" "$locked" "cmake libcsv-dev"
    if [ "$status" -eq 0 ] && [ "$calls" = "${expected%$'\n'}" ]; then pass "$name"; else fail "$name"; fi
done

# Lists held for longer than the wait: no install, and a failure.
run_case 0 cmake 1000000 "cmake libcsv-dev" 1
if [ "$status" -ne 0 ] && grep -q update <<<"$calls" && ! grep -q install <<<"$calls"; then
    pass "lists held too long"
else
    fail "lists held too long"
fi
exit $((failures > 0))

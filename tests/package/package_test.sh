#!/usr/bin/env bash
# Builds the two Debian packages, kalvo-record (the recorder) and kalvo (the window), from a built
# tree and checks them: control data, what apt would install with each on a system that has
# nothing yet (no toolkit for the recorder), contents and lintian; then dpkg installs them into a
# scratch root, where the desktop entry, metainfo and icons are checked, settings are stored
# through the installed link, the installed program starts on the offscreen platform, and an
# upgrade, removals and a purge keep or take away what they should. Last, the program folder of a
# plain `cmake --install`.
#   package_test.sh <build folder> <Debian version, for example 2.3-2>
set -uo pipefail

build=$1
version=$2
scratch=$(mktemp -d)
# Readable by everyone: parts of the test run the installed programs as an unprivileged user.
chmod 755 "$scratch"
trap 'rm -rf "$scratch"' EXIT

failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok: $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*"; }
# expect <description> <command...>: passes when the command succeeds.
expect() {
    local description=$1
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

# waits up to 20 s for a command to succeed; polls instead of sleeping a fixed time.
wait_for() {
    local deadline=$((SECONDS + 20))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

as_root=false
[ "$(id -u)" -eq 0 ] && as_root=true

# ---- Build the packages ---------------------------------------------------------------------

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack could not build the packages"
    exit 1
fi
architecture=$(dpkg --print-architecture)
deb="$scratch/out/kalvo_${version}_${architecture}.deb"
recorder_deb="$scratch/out/kalvo-record_${version}_${architecture}.deb"
for package in "$recorder_deb" "$deb"; do
    [ -f "$package" ] || { ls "$scratch/out"; echo "FAIL: no package $package"; exit 1; }
    pass "cpack built $(basename "$package")"
done

# ---- Control data ---------------------------------------------------------------------------

field() { dpkg-deb --field "$1" "$2"; }
# Any library of a toolkit, a display or OpenGL.
toolkit='(^|[ ,])(libqt|qt6-|libx11-|libxcb|libxkbcommon|libgl1|libglx|libopengl|libegl|libwayland|libjpeg|libfontconfig|libfreetype)'
for package in "$recorder_deb" "$deb"; do
    name=$(field "$package" Package)
    expect "$name: version is ${version}" test "$(field "$package" Version)" = "${version}"
    expect "$name: section is electronics" test "$(field "$package" Section)" = electronics
    expect "$name: built from the source package kalvo" test "$(field "$package" Source)" = kalvo
done
expect "the recorder's package is kalvo-record" test "$(field "$recorder_deb" Package)" = kalvo-record
expect "the window's package is kalvo" test "$(field "$deb" Package)" = kalvo
# depends_on <package file> <entry>: its Depends has the entry, alone or with a version.
depends_on() {
    field "$1" Depends | tr ',' '\n' |
        awk -v want="$2" '{ sub(/^ +/, "") } $0 == want || index($0, want " (") == 1 { found = 1 } END { exit !found }'
}
for runtime in libqt6widgets6 libqt6printsupport6 libqt6gui6 libqt6core6 libjpeg62-turbo "kalvo-record (= ${version})"; do
    expect "kalvo depends on $runtime" depends_on "$deb" "$runtime"
done
recorder_depends=$(field "$recorder_deb" Depends)
expect "kalvo-record depends on libmosquitto1" depends_on "$recorder_deb" libmosquitto1
expect "kalvo-record depends on no toolkit or display library ($recorder_depends)" \
    bash -c "! grep -Eq '$toolkit' <<<'$recorder_depends'"
for relation in Breaks Replaces; do
    expect "kalvo-record takes over the files of the one package of release 1 ($relation)" \
        test "$(field "$recorder_deb" $relation)" = "kalvo (<< ${version})"
done

# What apt would install with each package on a system that has nothing installed yet: every
# package it could pull in on any Debian 12 system, a fresh one included.
would_install() {
    apt-get --simulate -o Dir::State::status=/dev/null install "$@" 2>"$scratch/apt.err" |
        awk '$1 == "Inst" { print $2 }'
}
would_install "$recorder_deb" >"$scratch/recorder.pulls"
would_install "$recorder_deb" "$deb" >"$scratch/window.pulls"
expect "apt resolves kalvo-record's dependencies ($(wc -l <"$scratch/recorder.pulls") packages)" \
    grep -qx libmosquitto1 "$scratch/recorder.pulls"
expect "apt installs no toolkit or display library with kalvo-record" \
    bash -c "! grep -E '$toolkit' '$scratch/recorder.pulls'"
expect "apt installs Qt with kalvo" grep -qx libqt6widgets6 "$scratch/window.pulls"
[ -s "$scratch/recorder.pulls" ] || sed 's/^/    apt: /' "$scratch/apt.err"

dpkg-deb --control "$recorder_deb" "$scratch/control"
expect "the language file is a configuration file of kalvo-record" \
    grep -qx /etc/opt/kalvo/MY.LNG "$scratch/control/conffiles"
for script in postinst postrm; do
    expect "$script is an executable shell script" test -x "$scratch/control/$script"
    expect "$script has valid syntax" sh -n "$scratch/control/$script"
done
dpkg-deb --control "$deb" "$scratch/window-control"
expect "kalvo has no maintainer scripts or configuration files of its own" \
    test "$(ls "$scratch/window-control" | xargs)" = "control md5sums"

# ---- Contents -------------------------------------------------------------------------------

dpkg-deb --contents "$recorder_deb" >"$scratch/recorder.contents"
dpkg-deb --contents "$deb" >"$scratch/window.contents"
# The listing as "mode owner path[ -> target]", without sizes and dates.
entry_of() { awk -v path="./$2" '$6 == path { $3 = $4 = $5 = ""; print }' "$scratch/$1.contents" | tr -s ' '; }
# expect_entry <recorder|window> <path> <listing>
expect_entry() {
    local package=$1 path=$2 expected=$3
    local actual
    actual=$(entry_of "$package" "$path")
    if [ "$actual" = "$expected" ]; then pass "$package: $path"; else fail "$package: $path: '$actual', expected '$expected'"; fi
}
expect_entry recorder opt/kalvo/ "drwxr-xr-x root/root ./opt/kalvo/"
expect_entry recorder opt/kalvo/unitsim "-rwxr-xr-x root/root ./opt/kalvo/unitsim"
expect_entry recorder opt/kalvo/kalvo-record "-rwxr-xr-x root/root ./opt/kalvo/kalvo-record"
expect_entry recorder usr/bin/kalvo-record "lrwxrwxrwx root/root ./usr/bin/kalvo-record -> /opt/kalvo/kalvo-record"
expect_entry recorder "lib/systemd/system/kalvo-record@.service" "-rw-r--r-- root/root ./lib/systemd/system/kalvo-record@.service"
expect_entry recorder opt/kalvo/lang/de/MY.LNG "-rw-r--r-- root/root ./opt/kalvo/lang/de/MY.LNG"
expect_entry recorder opt/kalvo/lang/de/RECORD.LNG "-rw-r--r-- root/root ./opt/kalvo/lang/de/RECORD.LNG"
expect_entry recorder opt/kalvo/MY.LNG "lrwxrwxrwx root/root ./opt/kalvo/MY.LNG -> /etc/opt/kalvo/MY.LNG"
expect_entry recorder opt/kalvo/kalvo.ini "lrwxrwxrwx root/root ./opt/kalvo/kalvo.ini -> /var/opt/kalvo/kalvo.ini"
expect_entry recorder etc/opt/kalvo/MY.LNG "-rw-r--r-- root/root ./etc/opt/kalvo/MY.LNG"
expect_entry window opt/kalvo/kalvo "-rwxr-xr-x root/root ./opt/kalvo/kalvo"
expect_entry window usr/bin/kalvo "lrwxrwxrwx root/root ./usr/bin/kalvo -> /opt/kalvo/kalvo"
expect_entry window usr/share/applications/kalvo.desktop "-rw-r--r-- root/root ./usr/share/applications/kalvo.desktop"
for size in 16 24 32 48 128; do
    icon="usr/share/icons/hicolor/${size}x${size}/apps/kalvo.png"
    expect_entry window "$icon" "-rw-r--r-- root/root ./$icon"
done
for package in kalvo-record kalvo; do
    listing=window
    [ $package = kalvo-record ] && listing=recorder
    for doc in usr/share/doc/$package/copyright usr/share/doc/$package/changelog.Debian.gz usr/share/man/man1/$package.1.gz; do
        expect_entry $listing "$doc" "-rw-r--r-- root/root ./$doc"
    done
done
expect "one AppStream metainfo file, in kalvo" \
    test "$(cat "$scratch"/*.contents | grep -c '\./usr/share/metainfo/.*\.metainfo\.xml$')" -eq 1 -a -n "$(grep metainfo "$scratch/window.contents")"
# No file is in both packages (folders may be).
expect "the packages share no file" \
    bash -c "! comm -12 <(awk '\$1 !~ /^d/ { print \$6 }' '$scratch/recorder.contents' | sort) <(awk '\$1 !~ /^d/ { print \$6 }' '$scratch/window.contents' | sort) | grep ."
for package in recorder window; do
    # The settings live outside the packages, made by postinst; nothing in them is writable beyond root.
    expect "$package: nothing under /var" bash -c "! grep -q ' \./var/' '$scratch/$package.contents'"
    expect "$package: no file or folder is writable by group or others" \
        bash -c "! awk '\$1 !~ /^l/ && (substr(\$1, 6, 1) == \"w\" || substr(\$1, 9, 1) == \"w\")' '$scratch/$package.contents' | grep -q ."
done

# ---- lintian --------------------------------------------------------------------------------

# Fails on errors only; warnings and notes are shown for the reader.
for package in "$recorder_deb" "$deb"; do
    lintian --display-info --pedantic --fail-on error "$package" >"$scratch/lintian" 2>/dev/null
    status=$?
    echo "lintian says of $(basename "$package"):"
    sed 's/^/    /' "$scratch/lintian"
    expect "lintian finds no errors in $(basename "$package") (status $status)" test "$status" -eq 0
done

# ---- Install into a scratch root ------------------------------------------------------------

root="$scratch/root"
settings_folder="$root/var/opt/kalvo"
settings="$settings_folder/kalvo.ini"
language="$root/etc/opt/kalvo/MY.LNG"
# dpkg itself installs into the scratch root and runs the maintainer scripts there; the libraries
# the packages depend on are the host's. Without root only the files are unpacked.
dpkg_root() {
    dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null "$@" </dev/null >>"$scratch/dpkg.log" 2>&1
}
if $as_root; then
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    touch "$root/var/lib/dpkg/status"
    expect "dpkg installs kalvo-record" dpkg_root --install "$recorder_deb"
    expect "dpkg installs kalvo" dpkg_root --install "$deb"
else
    dpkg -x "$recorder_deb" "$root"
    dpkg -x "$deb" "$root"
    mkdir -p "$settings_folder"
    : >"$settings"
    echo "skipped: installing with dpkg, the maintainer scripts and the settings' permissions need root"
fi

# The package's links are absolute, as the installed system sees them; to run the programs inside
# the scratch root they are pointed at its own /etc and /var, as a chroot would.
point_links_into_scratch() {
    ln -sfn "$language" "$root/opt/kalvo/MY.LNG"
    ln -sfn "$settings" "$root/opt/kalvo/kalvo.ini"
}

# ---- The installed files --------------------------------------------------------------------

expect "desktop entry is valid" desktop-file-validate "$root/usr/share/applications/kalvo.desktop"
expect "desktop entry starts the program in /opt/kalvo" grep -qx 'Exec=/opt/kalvo/kalvo' "$root/usr/share/applications/kalvo.desktop"
expect "desktop entry names the icon" grep -qx 'Icon=kalvo' "$root/usr/share/applications/kalvo.desktop"
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
expect "metainfo is valid" appstreamcli validate --no-net "$metainfo"
expect "metainfo's id names its file" grep -q "<id>$(basename "$metainfo" .metainfo.xml)</id>" "$metainfo"
# Both histories are kept by hand; each must name this version as its newest.
for package in kalvo kalvo-record; do
    expect "$package: changelog's newest entry is ${version}" \
        bash -c "zcat '$root/usr/share/doc/$package/changelog.Debian.gz' | head -1 | grep -qF 'kalvo (${version}) '"
done
expect "metainfo's newest release is ${version%-*}" \
    bash -c "grep -m1 '<release ' '$metainfo' | grep -q 'version=\"${version%-*}\"'"
for size in 16 24 32 48 128; do
    expect "the ${size} px icon is ${size} x ${size}" \
        bash -c "file '$root/usr/share/icons/hicolor/${size}x${size}/apps/kalvo.png' | grep -q 'PNG image data, $size x $size'"
done
expect "the recording service runs kalvo-record as its instance, configured by /etc/kalvo/record" \
    grep -qx 'ExecStart=/opt/kalvo/kalvo-record --service %i $KALVO_RECORD_OPTIONS' \
    "$root/lib/systemd/system/kalvo-record@.service"
expect "the recording service tells systemd when it is ready and that its poll loop runs" \
    bash -c "grep -qx 'Type=notify' '$root/lib/systemd/system/kalvo-record@.service' &&
             grep -qx 'WatchdogSec=30' '$root/lib/systemd/system/kalvo-record@.service'"
expect "the recording service takes further options from an optional file per port" \
    grep -qx 'EnvironmentFile=-/etc/kalvo/record-%i.conf' "$root/lib/systemd/system/kalvo-record@.service"
for program in kalvo unitsim kalvo-record; do
    expect "$program finds all its libraries" bash -c "! ldd '$root/opt/kalvo/$program' | grep -q 'not found'"
done

# ---- Shared settings and upgrades -----------------------------------------------------------

owner_mode() { stat -c '%U:%G %a' "$1"; }

if $as_root; then
    expect "postinst makes the settings folder setgid and group-writable for dialout" \
        test "$(owner_mode "$settings_folder")" = "root:dialout 2775"
    expect "postinst makes an empty settings file for group dialout" \
        test "$(owner_mode "$settings") $(stat -c %s "$settings")" = "root:dialout 664 0"

    # A member of dialout stores settings through the link; the installed unitsim writes them with
    # the same code as Kalvo at its end.
    point_links_into_scratch
    ports_written() { grep -q '^COM20=' "$settings"; }
    setpriv --reuid=nobody --regid=dialout --clear-groups \
        "$root/opt/kalvo/unitsim" --settings "$root/opt/kalvo/kalvo.ini" --com 20 >/dev/null 2>&1 &
    unitsim=$!
    expect "a member of dialout stores settings through the link" wait_for ports_written
    kill "$unitsim" 2>/dev/null
    wait "$unitsim" 2>/dev/null
    expect "the link beside the program stays a link" test -L "$root/opt/kalvo/kalvo.ini"
    expect "the stored file stays in group dialout and writable for it" \
        test "$(stat -c '%G %a' "$settings")" = "dialout 664"

    # Anyone else is told which file could not be written.
    message=$(setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$root/opt/kalvo/unitsim" --settings "$root/opt/kalvo/kalvo.ini" --com 21 2>&1 >/dev/null)
    expect "a user outside dialout is told the settings file cannot be written" \
        test "$message" = "unitsim: Unable to write to $root/opt/kalvo/kalvo.ini"
    expect "and the stored settings stay as they were" grep -q '^COM20=' "$settings"

    # The administrator switches to German; installing the package again keeps that and the settings.
    cp "$root/opt/kalvo/lang/de/MY.LNG" "$language"
    expect "dpkg installs both packages over themselves" dpkg_root --install "$recorder_deb" "$deb"
    expect "an upgrade keeps the stored settings" grep -q '^COM20=' "$settings"
    expect "an upgrade keeps the chosen language file" cmp -s "$root/opt/kalvo/lang/de/MY.LNG" "$language"
    # The recorder finds the German words for that one file in its lang folder.
    "$build/tools/nightsim/nightsim" "$scratch/night" 3m >/dev/null
    "$root/opt/kalvo/kalvo-record" --decode "$scratch/night" --out "$scratch/decoded" --language "$language" >/dev/null
    expect "the installed recorder writes German column titles with the German language file" \
        grep -q '^Zeit,Verbindung,' "$scratch"/decoded/readings-*.csv
    expect "an upgrade restores the links as the system sees them" \
        test "$(readlink "$root/opt/kalvo/kalvo.ini")" = /var/opt/kalvo/kalvo.ini
fi

# ---- Start the installed program ------------------------------------------------------------

point_links_into_scratch
printf '[Main]\r\nCOM=-1\r\n' >"$settings"
runtime="$scratch/runtime"
mkdir -m 700 "$runtime"
# Alive after 3 s means it started, opened its window and runs its event loop: timeout ends it then
# with status 124, while a crash or an early exit shows as any other status.
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" timeout 3 "$root/opt/kalvo/kalvo" >"$scratch/run.log" 2>&1
status=$?
expect "the installed program runs on the offscreen platform (status $status)" test "$status" -eq 124
sed 's/^/    /' "$scratch/run.log"

# ---- Removing and purging -------------------------------------------------------------------

if $as_root; then
    expect "dpkg removes kalvo" dpkg_root --remove kalvo
    expect "removing kalvo takes the window away and leaves the recorder" \
        test ! -e "$root/opt/kalvo/kalvo" -a ! -e "$root/usr/share/applications/kalvo.desktop" -a -x "$root/opt/kalvo/kalvo-record"
    expect "dpkg removes kalvo-record" dpkg_root --remove kalvo-record
    expect "removing takes the program folder away" test ! -e "$root/opt/kalvo"
    expect "removing keeps the settings and the language file" test -f "$settings" -a -f "$language"

    touch "$settings_folder/kalvo.ini.new123-0" "$settings_folder/report.txt"
    expect "dpkg purges kalvo-record" dpkg_root --purge kalvo-record
    expect "purging removes the settings and any copy left by a cut-short write" \
        test ! -e "$settings" -a ! -e "$settings_folder/kalvo.ini.new123-0"
    expect "purging removes the language file" test ! -e "$language"
    expect "purging keeps files a user put there" test -f "$settings_folder/report.txt"
    rm "$settings_folder/report.txt"
    DPKG_ROOT="$root" sh "$scratch/control/postrm" purge
    expect "purging removes the emptied settings folder" test ! -e "$settings_folder"
    if [ "$failures" -gt 0 ]; then sed 's/^/    dpkg: /' "$scratch/dpkg.log"; fi
fi

# ---- A program folder without the package ---------------------------------------------------

folder="$scratch/folder"
cmake --install "$build" --prefix "$folder" >/dev/null
(cd "$folder" && find . -mindepth 1 | LC_ALL=C sort) >"$scratch/folder.list"
expect "cmake --install lays out the program folder and nothing else" \
    diff -u <(printf '%s\n' ./MY.LNG ./kalvo ./kalvo-record ./lang ./lang/de ./lang/de/MY.LNG ./lang/de/RECORD.LNG ./unitsim) \
        "$scratch/folder.list"
expect "its language file lies beside the program as a file" test -f "$folder/MY.LNG" -a ! -L "$folder/MY.LNG"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]

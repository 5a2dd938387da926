# Installs the Debian 12 packages Kalvo needs, once; sourced by the scripts beside it.
kalvo_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcsv-dev
    xvfb xauth x11-apps xdotool imagemagick poppler-utils fonts-dejavu-core fonts-liberation2
    chromium  # the night report, looked at in a real browser
    libsystemd-dev  # kalvo-record tells systemd how it is (sd_notify)
    libmosquitto-dev libssl-dev nlohmann-json3-dev mosquitto mosquitto-clients openssl python3-jinja2 iproute2  # publishing to a broker, and its tests
    lintian desktop-file-utils appstream file  # the package test
)

# The arm64 leg (scripts/arm64-leg): the cross compiler, qemu, and the arm64 builds of the libraries
# that the recorder and its tests link, installed beside the host's (multiarch).
kalvo_arm64_packages=(
    g++-aarch64-linux-gnu qemu-user-static
    libgtest-dev:arm64 libmosquitto-dev:arm64 libssl-dev:arm64 libcsv-dev:arm64 libsystemd-dev:arm64
    libstdc++6:arm64  # where dpkg-shlibdeps finds the C++ library's symbols for the package's dependencies
)

# kalvo_install_arm64_deps: makes arm64 a foreign architecture of dpkg, then installs the leg's
# packages where missing.
kalvo_install_arm64_deps() {
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo dpkg --add-architecture arm64
    fi
    kalvo_install_deps "${kalvo_arm64_packages[@]}"
}

# kalvo_install_deps [PACKAGE...]: installs the given packages, or Kalvo's own list, where missing.
kalvo_install_deps() {
    local wanted=("$@")
    [ ${#wanted[@]} -gt 0 ] || wanted=("${kalvo_packages[@]}")
    local missing=()
    local package
    for package in "${wanted[@]}"; do
        [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" == "install ok installed"* ]] ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    kalvo_apt_update $sudo || return 1
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=$kalvo_apt_lock_wait \
        install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# How long a package install waits for another package manager (unattended upgrades, a second
# build) to let go of its lock, in seconds.
kalvo_apt_lock_wait=600
# How long to pause between two refreshes of the package lists while another one holds them.
kalvo_apt_retry_pause=10

# kalvo_apt_update [sudo]: refreshes the package lists. The lists have a lock of their own that
# apt-get update does not wait for, so a refresh refused while another one runs is tried again
# until the same time has passed.
kalvo_apt_update() {
    local sudo="${1:-}" deadline=$((SECONDS + kalvo_apt_lock_wait))
    until $sudo apt-get -o DPkg::Lock::Timeout=$kalvo_apt_lock_wait update -qq; do
        [ $SECONDS -lt $deadline ] || return 1
        echo "apt-get update failed; trying again (another package manager may hold the lists)" >&2
        sleep "$kalvo_apt_retry_pause"
    done
}

# kalvo_install_test_broker FOLDER: the npm packages of the broker tests' MQTT 3.1.1 broker (aedes),
# exactly as its package-lock.json pins them, into FOLDER/node_modules; nothing when they are
# there already. Debian's nodejs and npm where no npm is on the path.
kalvo_install_test_broker() {
    local folder="$1"
    cmp -s "$folder/package-lock.json" "$folder/node_modules/.kalvo-installed" && return 0
    command -v npm >/dev/null || kalvo_install_deps nodejs npm || return 1
    echo "Installing the test broker's npm packages into $folder/node_modules"
    (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error >/dev/null) &&
        cp "$folder/package-lock.json" "$folder/node_modules/.kalvo-installed"
}

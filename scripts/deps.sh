# Installs the Debian 12 packages Kalvo needs, once; sourced by the scripts beside it.
kalvo_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcsv-dev
    xvfb xauth x11-apps xdotool imagemagick poppler-utils fonts-dejavu-core fonts-liberation2
    chromium  # the night report, looked at in a real browser
    libmosquitto-dev nlohmann-json3-dev mosquitto mosquitto-clients openssl  # publishing to a broker, and its tests
    lintian desktop-file-utils appstream file  # the package test
)

# kalvo_install_deps [PACKAGE...]: installs the given packages, or Kalvo's own list, where missing.
kalvo_install_deps() {
    local wanted=("$@")
    [ ${#wanted[@]} -gt 0 ] || wanted=("${kalvo_packages[@]}")
    local missing=()
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

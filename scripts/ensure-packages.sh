# Sourced by run.sh and test.sh: installs the Debian packages the kiosk needs, only those missing.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "Missing packages (${missing[*]}) and no sudo to install them: install them as root." >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building needs, everywhere.
# libpq-dev: the sync talks to PostgreSQL through libpq. libphonenumber-dev: the export writes cell
# numbers in E.164 through it (see the README for both).
BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev libpq-dev libphonenumber-dev libssl-dev fonts-dejavu-core)

# What the sync's tests need: a real server in a throw-away cluster (pg_virtualenv), and openssl for the
# certificate that names another host.
SYNC_TEST_PACKAGES=(postgresql postgresql-common openssl)

# What the kiosk's --touch needs at run time: Qt's on-screen keyboard and the QML modules it imports
# (without any one of them no keyboard appears).
TOUCH_PACKAGES=(qt6-virtualkeyboard-plugin qml6-module-qtquick-layouts qml6-module-qtquick-window
                qml6-module-qtqml-workerscript qml6-module-qt-labs-folderlistmodel)

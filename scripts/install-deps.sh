#!/bin/sh
# Installs the Debian packages the build and the tests need, when they are missing;
# packages named as arguments (for example the fuzzing compiler) are added to the list.
set -eu

PACKAGES="cmake g++ make pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
socat procps libsgutils2-dev xorriso genisoimage fonts-liberation poppler-utils \
dpkg-dev file groff-base desktop-file-utils appstream qt6-qpa-plugins qt6-translations-l10n lintian libssl-dev $*"

missing=""
for pkg in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $pkg"
    fi
done
[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" != "0" ]; then
    if command -v sudo >/dev/null 2>&1; then
        SUDO="sudo"
    else
        echo "These packages are missing and installing them needs root:$missing" >&2
        exit 1
    fi
fi
echo "Installing:$missing"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing

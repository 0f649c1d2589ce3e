#!/bin/bash
# Fetches Debian's kernel package (the one linux-image-amd64 depends on), unpacks it into
# CACHE/<package>/ and writes its modules.dep; prints that folder. A folder that is already
# complete is used as it is, so the download happens once per kernel version.
set -euo pipefail
cache=${1:?usage: kernel.sh CACHE}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

package_name() {
    apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}
pkg=$(package_name)
if [ -z "$pkg" ]; then
    # A fresh machine may not have read the package lists yet.
    if [ "$(id -u)" = 0 ]; then apt-get update -q >&2; else sudo apt-get update -q >&2; fi
    pkg=$(package_name)
fi
if [ -z "$pkg" ]; then
    echo "kernel.sh: apt-cache names no package for linux-image-amd64 (is this Debian 12?)" >&2
    exit 1
fi

root=$cache/$pkg
if [ ! -f "$root/.complete" ]; then
    rm -rf "$root" "$root.tmp" "$cache/download"
    mkdir -p "$cache/download"
    # apt's download user cannot write into a private folder; the package lands there as root.
    (cd "$cache/download" && apt-get download -q "$pkg" >&2)
    dpkg-deb -x "$cache/download/${pkg}"_*.deb "$root.tmp"
    version=$(ls "$root.tmp/lib/modules")
    busybox depmod -b "$root.tmp" "$version"
    ln -s "boot/vmlinuz-$version" "$root.tmp/vmlinuz"
    echo "$version" > "$root.tmp/version"
    touch "$root.tmp/.complete"
    mv "$root.tmp" "$root"
    rm -rf "$cache/download"
    # Older kernels the cache kept are of no further use.
    for old in "$cache"/linux-image-*; do
        [ "$old" = "$root" ] || rm -rf "$old"
    done
fi
echo "$root"

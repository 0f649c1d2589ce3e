#!/bin/bash
# Builds the guest's initramfs: busybox, the guest's /init and its cases, the program
# (without its debug sections) with every shared library ldd names, the kernel modules the
# emulated devices need together with their dependencies from modules.dep, and the folder
# DATA (the host's reference results) as /vm/data.
set -euo pipefail
usage="usage: initramfs.sh OUT.cpio KERNEL_ROOT PROGRAM DATA"
out=${1:?$usage}
kroot=${2:?$usage}
program=${3:?$usage}
data=${4:?$usage}
here=$(cd "$(dirname "$0")" && pwd)

# Drivers of the guest's devices: the IDE and virtio-SCSI CD-ROMs, the SCSI generic nodes a
# desktop has, the USB host controller with the serial adapter (ftdi_sio), and the CD file system.
MODULES="ata_piix ata_generic sr_mod sg virtio_pci virtio_scsi xhci_pci ftdi_sio isofs"

stage=$(mktemp -d "${out}.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,mnt,vm,lib64,lib/x86_64-linux-gnu}

busybox=$(command -v busybox)
if ! file -L "$busybox" | grep -q 'statically linked'; then
    echo "initramfs.sh: $busybox is not statically linked: install busybox-static" >&2
    exit 1
fi
cp "$busybox" "$stage/bin/busybox"
cp "$here/init" "$stage/init"
cp "$here/cases.sh" "$stage/vm/cases.sh"
chmod 755 "$stage/init"

strip --strip-debug -o "$stage/vm/vobrelfm" "$program"
ldd "$program" | awk '$3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }' | sort -u | while read -r lib; do
    case "$lib" in
    */ld-linux*) cp -L "$lib" "$stage/lib64/$(basename "$lib")" ;;
    *) cp -L "$lib" "$stage/lib/x86_64-linux-gnu/$(basename "$lib")" ;;
    esac
done

# Each module after the modules it needs, each once: a depth-first walk of modules.dep.
version=$(cat "$kroot/version")
moddir=$kroot/lib/modules/$version
awk -v wanted="$MODULES" '
    function visit(path,    k, f, j) {
        if (path in seen) return
        seen[path] = 1
        k = split(deps[path], f, " ")
        for (j = 1; j <= k; j++) visit(f[j])
        print path
    }
    {
        path = $1; sub(":$", "", path)
        deps[path] = ""
        for (i = 2; i <= NF; i++) deps[path] = deps[path] " " $i
        name = path; sub(".*/", "", name); sub("\\.ko$", "", name); gsub("_", "-", name)
        byName[name] = path
    }
    END {
        n = split(wanted, w, " ")
        for (i = 1; i <= n; i++) {
            name = w[i]; gsub("_", "-", name)
            if (!(name in byName)) { print "initramfs.sh: no module " w[i] > "/dev/stderr"; exit 1 }
            visit(byName[name])
        }
    }' "$moddir/modules.dep" > "$stage/vm/modules.load"
while read -r module; do
    mkdir -p "$stage/lib/modules/$version/$(dirname "$module")"
    cp "$moddir/$module" "$stage/lib/modules/$version/$module"
done < "$stage/vm/modules.load"
echo "$version" > "$stage/vm/kernel-version"

cp -r "$data" "$stage/vm/data"
# Uncompressed: the emulated processor unpacks it faster than it would inflate it.
(cd "$stage" && find . -mindepth 1 | LC_ALL=C sort | busybox cpio -o -H newc -R 0:0 2>/dev/null) > "$out.tmp"
mv "$out.tmp" "$out"

#!/bin/bash
# The command line against real kernel drivers: Debian's kernel under qemu's software
# emulation, with a 16550 UART and a PCI UART (8250 driver) and three emulated USB serial
# adapters (ftdi_sio) wired to host pseudo-terminals where ecrsim plays the register, and
# an IDE CD-ROM (secondary master) and a virtio-SCSI CD-ROM (target 3) holding an image
# that mkiso made. The guest runs the cases of scripts/vm/cases.sh and prints one result
# line each; this script prints them and exits non-zero when a case failed or the guest
# did not finish.
#   scripts/vm/vmtest.sh [BUILD_DIR]
# VM_DIR: the kernel cache and the run's files (build-vm); VM_TIMEOUT: seconds the guest may
# take (240); VM_VERBOSE=1: the output of passing cases too.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
vm=${VM_DIR:-build-vm}
limit=${VM_TIMEOUT:-240}
started=$EPOCHREALTIME

missing=""
command -v qemu-system-x86_64 >/dev/null || missing+=" qemu-system-x86"
if ! command -v busybox >/dev/null || ! file -L "$(command -v busybox)" | grep -q 'statically linked'; then
    missing+=" busybox-static"
fi
command -v dpkg-deb >/dev/null && command -v apt-get >/dev/null || missing+=" (apt-get and dpkg-deb: a Debian system)"
if [ -n "$missing" ]; then
    echo "vmtest needs:$missing" >&2
    echo "On Debian 12: sudo apt-get install qemu-system-x86 busybox-static (make vmtest installs them as root or with sudo)" >&2
    exit 1
fi
for program in vobrelfm ecrsim; do
    [ -x "$build/$program" ] || { echo "vmtest: $build/$program is missing: run make build first" >&2; exit 1; }
done

kroot=$(scripts/vm/kernel.sh "$vm/kernel")
run=$vm/run
rm -rf "$run"
mkdir -p "$run/data/burn" "$run/disc/Report" "$run/disc/deep/a/b"
run=$(cd "$run" && pwd)

# The simulators end when this script does, however it ends: their standard input is a
# FIFO that only this script holds open for writing.
mkfifo "$run/alive"
exec 9<>"$run/alive"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# start_sim NAME ARGS...: starts ecrsim on a pseudo-terminal of its own; sets pty to the
# path of its other end. qemu opens that end as a serial line (-chardev serial) and sets on
# it the speed the guest's driver programs, so that ecrsim, which reads the line speed of its
# pseudo-terminal, hears the guest at the speed the guest chose.
start_sim() {
    local name=$1
    shift
    mkfifo "$run/$name.path"
    "$build/ecrsim" --stop-with-stdin --transcript "$run/$name.trace" "$@" \
        < "$run/alive" > "$run/$name.path" 2> "$run/$name.err" 9>&- &
    pids+=($!)
    pty=""
    read -r pty < "$run/$name.path" || true
    [ -n "$pty" ] || { echo "vmtest: ecrsim $name did not start: $(cat "$run/$name.err")" >&2; exit 1; }
}

# Report lines with 8-bit text (Windows-1250 letters) so that the comparison sees every byte.
for i in $(seq 1 120); do
    printf 'ZAK %04d \xb9\xe6\xea\xb3\xf1 %6d.%02d\n' "$i" $((i * 37)) $((i % 100))
done > "$run/lines.txt"
register=(--lines "$run/lines.txt")

# The reference: the same download on a host pseudo-terminal.
cat > "$run/data/config" <<CONFIG
DETAIL_RANGE=1-40
DETAIL_NAME=vm
DETAIL_FILE=vm_1_40.txt
CONFIG
start_sim host "${register[@]}"
LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen "$build/vobrelfm" --home "$run/hostref" \
    detail --z 1-40 --name vm --port "$pty" --baud 115200 9>&- 2> "$run/hostref.err" ||
    { cat "$run/hostref.err" >&2; echo "vmtest: the download on the host failed" >&2; exit 1; }
cp "$run/hostref/Report/vm_1_40.txt" "$run/data/"
cp "$run/hostref/Report/vm_1_40.txt" "$run/data/burn/report.txt"

# The disc: reports, a larger binary file, upper and lower case, a deep tree, a long name.
cp "$run/hostref/Report/vm_1_40.txt" "$run/disc/Report/"
cp "$run/lines.txt" "$run/disc/Report/Lines Of A Register.txt"
head -c 3000000 /dev/urandom > "$run/disc/data.bin"
echo deep > "$run/disc/deep/a/b/leaf.txt"
echo long > "$run/disc/a_long_file_name_of_a_report_kept_on_the_disc_2026.txt"
(cd "$run/disc" && find . -type f | LC_ALL=C sort > "$run/data/disc.list" &&
    find . -type f -exec sha256sum {} + > "$run/data/disc.sha256")
"$build/vobrelfm" --home "$run/mkiso" mkiso --output "$run/disc.iso" --volume-id VMTEST "$run/disc" 9>&-

# The guest's registers: one each on the 16550 and the first adapter; the PCI UART and the
# second adapter lead to registers that never answer, for the cases of a port in use.
start_sim uart "${register[@]}"; uart=$pty
start_sim usb "${register[@]}"; usb=$pty
start_sim pci --silent; pci=$pty
start_sim usb2 --silent; usb2=$pty
# The third adapter is pulled out during a download: its register answers each page late.
start_sim usb3 "${register[@]}" --late 400; usb3=$pty

scripts/vm/initramfs.sh "$run/initramfs.cpio" "$kroot" "$build/vobrelfm" "$run/data"

# Shows the guest's console and carries out its requests: "vmtest: unplug ID" pulls the
# device ID out of the machine through qemu's monitor.
follow_console() {
    local line
    while IFS= read -r line; do
        printf '%s\n' "$line"
        case "$line" in
        "vmtest: unplug "*)
            printf 'device_del %s\n' "${line#vmtest: unplug }" |
                socat - "UNIX-CONNECT:$run/monitor.sock" > "$run/monitor.out" 2>&1 || true ;;
        esac
    done
}

echo "vmtest: booting $(cat "$kroot/version") under qemu (software emulation)"
status=0
timeout "$limit" qemu-system-x86_64 -accel tcg -m 512 -nodefaults -nographic -no-reboot \
    -kernel "$kroot/vmlinuz" -initrd "$run/initramfs.cpio" \
    -append "console=ttyS0 quiet panic=-1 vmtest.verbose=${VM_VERBOSE:-0}" \
    -serial stdio \
    -chardev "serial,id=uart1,path=$uart" -device isa-serial,chardev=uart1,index=1 \
    -chardev "serial,id=uart2,path=$pci" -device pci-serial,chardev=uart2 \
    -device qemu-xhci,id=xhci \
    -chardev "serial,id=usb1,path=$usb" -device usb-serial,bus=xhci.0,port=1,chardev=usb1 \
    -chardev "serial,id=usb2,path=$usb2" -device usb-serial,bus=xhci.0,port=2,chardev=usb2 \
    -chardev "serial,id=usb3,path=$usb3" -device usb-serial,bus=xhci.0,port=3,chardev=usb3,id=unplug \
    -monitor "unix:$run/monitor.sock,server=on,wait=off" \
    -drive "file=$run/disc.iso,format=raw,if=ide,index=2,media=cdrom,readonly=on" \
    -device virtio-scsi-pci,id=vscsi \
    -drive "file=$run/disc.iso,format=raw,if=none,id=vcd,media=cdrom,readonly=on" \
    -device scsi-cd,bus=vscsi.0,scsi-id=3,drive=vcd \
    < /dev/null 9>&- | sed -u 's/\r$//; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g' | tee "$run/console.log" |
    follow_console || status=$?

took=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }')
passed=$(grep -c '^vmtest: PASS ' "$run/console.log" || true)
failed=$(grep -c '^vmtest: FAIL ' "$run/console.log" || true)
if ! grep -q '^vmtest: guest done' "$run/console.log"; then
    echo "vmtest: the guest did not finish (qemu status $status, limit $limit s); console in $run/console.log"
    failed=$((failed + 1))
fi
echo "vmtest: $took s in all; console in $run/console.log"
echo "vmtest: $passed passed, $failed failed"
[ "$failed" = 0 ]

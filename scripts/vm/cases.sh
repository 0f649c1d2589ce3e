# The cases the guest runs against the kernel's drivers, sourced by /init. Each case is a
# function that returns 0 when it passed; `run_case` times it and prints one result line
#   vmtest: PASS|FAIL NAME SECONDS s[: REASON]
# with the case's output below a failed one. /vm/data holds what the host prepared: the
# reference report of the same download on a host pseudo-terminal, the disc's file list
# and checksums, and the burn's source file.

DATA=/vm/data
VERBOSE=0
grep -q 'vmtest.verbose=1' /proc/cmdline && VERBOSE=1
passed=0
failed=0

uptime_now() { read -r up _ < /proc/uptime; echo "$up"; }

# The reason a case failed, for its result line.
fail() { echo "$*" > /tmp/case.reason; return 1; }

run_case() {
    name=$1
    shift
    rm -f /tmp/case.reason
    start=$(uptime_now)
    if "$@" > /tmp/case.out 2>&1; then status=PASS; else status=FAIL; fi
    took=$(awk -v a="$start" -v b="$(uptime_now)" 'BEGIN { printf "%.2f", b - a }')
    if [ $status = PASS ]; then
        passed=$((passed + 1))
        echo "vmtest: PASS $name $took s"
        [ "$VERBOSE" = 1 ] && head -n 40 /tmp/case.out | sed 's/^/vmtest:   | /'
    else
        failed=$((failed + 1))
        reason=$(cat /tmp/case.reason 2>/dev/null)
        echo "vmtest: FAIL $name $took s: ${reason:-exit status}"
        head -n 40 /tmp/case.out | sed 's/^/vmtest:   | /'
    fi
}

# Devices appear while the drivers probe in the background (the ATA ports, the USB hub):
# each is waited for until it shows up or 20 s have gone.
wait_for() {
    tries=0
    while [ ! -e "$1" ]; do
        tries=$((tries + 1))
        [ $tries -gt 400 ] && return 1
        usleep 50000
    done
}

# The opposite: waits until PATH has gone, for up to 20 s.
wait_gone() {
    tries=0
    while [ -e "$1" ]; do
        tries=$((tries + 1))
        [ $tries -gt 400 ] && return 1
        usleep 50000
    done
}

# The tty whose sysfs device path matches PATTERN (for example the PCI UART, or the USB
# adapter on hub port 2).
tty_at() {
    for t in /sys/class/tty/$1; do
        [ -e "$t/device" ] || continue
        case "$(readlink -f "$t/device")" in
        $2) echo "/dev/${t##*/}"; return 0 ;;
        esac
    done
    return 1
}

# The CD-ROM node whose sysfs path matches PATTERN (ATA or virtio).
cd_at() {
    for b in /sys/block/sr*; do
        case "$(readlink -f "$b/device")" in
        $1) echo "/dev/${b##*/}"; return 0 ;;
        esac
    done
    return 1
}

case_devices_present() {
    ok=0
    for node in /dev/ttyS1 /dev/ttyUSB0 /dev/ttyUSB1 /dev/ttyUSB2 /dev/sr0 /dev/sr1; do
        wait_for $node || { echo "$node did not appear"; ok=1; }
    done
    UART=/dev/ttyS1
    PCI_UART=$(tty_at 'ttyS*' '*/pci0000:00/*') || { echo "no PCI UART"; ok=1; }
    USB_SERIAL=$(tty_at 'ttyUSB*' '*-1:1.0*') || { echo "no adapter on USB port 1"; ok=1; }
    USB_LOCK=$(tty_at 'ttyUSB*' '*-2:1.0*') || { echo "no adapter on USB port 2"; ok=1; }
    USB_UNPLUG=$(tty_at 'ttyUSB*' '*-3:1.0*') || { echo "no adapter on USB port 3"; ok=1; }
    IDE_CD=$(cd_at '*/ata*') || { echo "no IDE CD-ROM"; ok=1; }
    VIRTIO_CD=$(cd_at '*/virtio*') || { echo "no virtio-SCSI CD-ROM"; ok=1; }
    echo "UART $UART, PCI UART $PCI_UART, USB serial $USB_SERIAL, $USB_LOCK and $USB_UNPLUG, IDE $IDE_CD, virtio $VIRTIO_CD"
    [ $ok = 0 ] || fail "an emulated device is missing"
}

# --- serial ---------------------------------------------------------------------------

case_test() {
    vobrelfm --home "/tmp/test-${1##*/}" test --port "$1" || fail "test exited with $?"
}

# After the handshake at 9600 bit/s the register listens only at the speed it was told:
# the host's simulator answers the next request only when the line speed the guest set
# reached the host's end of the line.
case_speed() {
    vobrelfm --home "/tmp/speed-${1##*/}" test --port "$1" --baud 115200 || fail "test at 115200 exited with $?"
}

# The same download as the host made on a pseudo-terminal; the report must be identical.
case_detail() {
    home=/tmp/detail-${1##*/}
    vobrelfm --home "$home" detail --z "$DETAIL_RANGE" --name "$DETAIL_NAME" --port "$1" --baud 115200 ||
        fail "detail exited with $?" || return 1
    cmp "$home/Report/$DETAIL_FILE" "$DATA/$DETAIL_FILE" || fail "report differs from the host's"
}

# hold_port PORT: starts an instance whose register never answers, so that it stays in
# the handshake (about 8 s) with the port open; returns once it holds the port (it opens
# and locks the port before it shows "Connect..."). Sets holder to its process id.
hold_port() {
    rm -f /tmp/holder.err
    mkfifo /tmp/holder.err
    vobrelfm --home /tmp/holder test --port "$1" 2> /tmp/holder.err &
    holder=$!
    exec 3< /tmp/holder.err
    while read -r line <&3; do
        echo "holder: $line"
        case "$line" in Connect*) return 0 ;; esac
    done
    return 1
}

# release_port [kill]: waits for the holding instance to end (or ends it first).
release_port() {
    [ "$1" = kill ] && kill $holder 2>/dev/null
    cat <&3 | sed 's/^/holder: /'
    wait $holder
    exec 3<&-
}

# A second instance must be refused at once while the first holds the port, and say why.
case_second_instance() {
    hold_port "$1" || { release_port; fail "the first instance did not get the port"; return 1; }
    vobrelfm --home /tmp/second test --port "$1" > /tmp/second.out 2>&1
    status=$?
    cat /tmp/second.out
    alive=0
    kill -0 $holder 2>/dev/null && alive=1
    release_port kill
    [ $alive = 1 ] || fail "the first instance ended before the second was refused" || return 1
    [ $status = 1 ] || fail "second instance exited with $status, not 1" || return 1
    grep -qF "The device $1 is in use by another program." /tmp/second.out ||
        fail "second instance did not say the port is in use"
}

# While the program holds a USB serial adapter, ftdi_sio's latency timer shows 1 ms (the
# low-latency flag); once the program has ended it is back at what it was (the emulated
# adapter's own value).
case_low_latency_usb() {
    timer=/sys/class/tty/${1##*/}/device/latency_timer
    before=$(cat "$timer")
    hold_port "$1" || { release_port; fail "the instance did not get the port"; return 1; }
    during=$(cat "$timer")
    release_port
    after=$(cat "$timer")
    echo "latency timer: before $before ms, while held $during ms, after $after ms"
    [ "$during" = 1 ] || fail "latency timer $during ms while the port is held" || return 1
    [ "$after" = "$before" ] || fail "latency timer left at $after ms (was $before ms)"
}

# The 8250 driver takes the low-latency flag too (bit 0x2000 of the port's flags while the
# program holds the port; the test and download cases show it does no harm), and the
# port's flags are as they were once the program has ended.
case_low_latency_8250() {
    flags=/sys/class/tty/${1##*/}/flags
    before=$(cat "$flags")
    hold_port "$1" || { release_port; fail "the instance did not get the port"; return 1; }
    during=$(cat "$flags")
    release_port
    after=$(cat "$flags")
    echo "port flags: before $before, while held $during, after $after"
    [ $((during & 0x2000)) != 0 ] || fail "no low-latency flag while the port is held ($during)" || return 1
    [ "$after" = "$before" ] || fail "port flags left at $after (were $before)"
}

# A USB adapter pulled out during a download: once the pages flow, the guest asks the host
# (a line on the console) to unplug the adapter from the emulated USB hub. The download
# must end as a failure without retries on the vanished port and store nothing. The
# download is ended after 60 s should it hang.
case_unplug() {
    home=/tmp/unplug
    rm -f /tmp/unplug.err
    mkfifo /tmp/unplug.err
    vobrelfm --home "$home" detail --z 1-40 --name gone --port "$1" --baud 115200 2> /tmp/unplug.err &
    program=$!
    exec 4< /tmp/unplug.err
    while read -r line <&4; do
        echo "program: $line"
        case "$line" in Upload*) break ;; esac
    done
    echo "vmtest: unplug $2" > /dev/console
    gone=0
    wait_gone "$1" && gone=1
    (sleep 60; kill $program) 2>/dev/null &
    watchdog=$!
    cat <&4 | sed 's/^/program: /'
    wait $program
    status=$?
    kill $watchdog 2>/dev/null
    exec 4<&-
    [ $gone = 1 ] || fail "$1 was not unplugged" || return 1
    [ $status = 1 ] || fail "the download exited with $status, not 1" || return 1
    [ ! -e "$home/Report/gone_1_40.txt" ] || fail "a report was stored" || return 1
    ! grep -q 'Retry:' "$home/DEBUG.LOG" || fail "the download retried on a vanished port"
}

# --- CD-ROM drives --------------------------------------------------------------------

# The device line `devices` prints for NODE: the one with the drive's product name.
drive_line() {
    model=$(sed 's/ *$//' "/sys/block/${1##*/}/device/model")
    vobrelfm --home /tmp/lines devices 2>/dev/null | grep -F "$model" | head -n 1
}

# Every drive is listed at the kernel's address: the kernel's target and LUN, and as its
# one-digit adapter the place of the kernel's host among the hosts that have drives (hosts
# 1 and 2 are adapters 0 and 1).
case_devices() {
    vobrelfm --home /tmp/devices devices > /tmp/devices.out 2>&1
    status=$?
    cat /tmp/devices.out
    [ $status = 0 ] || fail "devices exited with $status" || return 1
    hosts=$(for b in /sys/block/sr*; do basename "$(readlink -f "$b/device")"; done | cut -d: -f1 | sort -n -u)
    for node in "$IDE_CD" "$VIRTIO_CD"; do
        address=$(basename "$(readlink -f "/sys/block/${node##*/}/device")")
        model=$(sed 's/ *$//' "/sys/block/${node##*/}/device/model")
        adapter=$(echo "$hosts" | grep -nx "${address%%:*}" | cut -d: -f1)
        expected=$((adapter - 1)):$(echo "$address" | cut -d: -f3):$(echo "$address" | cut -d: -f4),
        echo "$node: kernel address $address, $model: expected line $expected..."
        grep -F "$model" /tmp/devices.out | grep -q "^$expected" ||
            fail "$node is not listed at $expected (kernel $address)" || return 1
    done
}

# A CD-ROM drive writes nothing, so discinfo must not give it a write speed.
case_discinfo() {
    line=$(drive_line "$1")
    [ -n "$line" ] || fail "no device line for $1" || return 1
    timeout 60 vobrelfm --home /tmp/discinfo discinfo --drive "$line" > /tmp/discinfo.out 2>&1
    status=$?
    cat /tmp/discinfo.out
    [ $status = 0 ] || fail "discinfo exited with $status" || return 1
    grep -qxF "drive: $line" /tmp/discinfo.out || fail "discinfo names another drive" || return 1
    if grep -q '^maximum write speed: [1-9]' /tmp/discinfo.out; then
        fail "a CD-ROM drive is given a write speed"
    fi
}

# A burn on a drive that cannot write must end at once with that reason (exit status 5,
# a drive that cannot be written), not with a reason found later on the way (the disc's
# free space, a missing write mode).
case_burn() {
    node=$1
    shift
    line=$(drive_line "$node")
    [ -n "$line" ] || fail "no device line for $node" || return 1
    timeout 60 vobrelfm --home /tmp/burn burn --drive "$line" "$@" "$DATA/burn/report.txt" > /tmp/burn.out 2>&1
    status=$?
    cat /tmp/burn.out
    [ $status = 5 ] || fail "burn exited with $status, not 5" || return 1
    grep -qF "THE DRIVE $line CANNOT WRITE DISCS" /tmp/burn.out || fail "burn did not say the drive cannot write"
}

# The kernel's iso9660 driver reads the image mkiso made: the same files, byte for byte.
case_mount() {
    dir=/mnt/${1##*/}
    mkdir -p "$dir"
    mount -t iso9660 -o ro "$1" "$dir" || fail "mount failed" || return 1
    (cd "$dir" && find . -type f | LC_ALL=C sort) > /tmp/mounted.list
    diff "$DATA/disc.list" /tmp/mounted.list || { umount "$dir"; fail "the file list differs"; return 1; }
    (cd "$dir" && sha256sum -c "$DATA/disc.sha256") > /tmp/sha.out 2>&1 ||
        { grep -v ': OK$' /tmp/sha.out; umount "$dir"; fail "file contents differ"; return 1; }
    umount "$dir"
}

run_all() {
    . "$DATA/config"
    echo "vmtest: guest up after $(uptime_now) s"
    boot_messages=$(dmesg | wc -l)
    run_case devices-present case_devices_present
    run_case test-8250 case_test "$UART"
    run_case test-usb case_test "$USB_SERIAL"
    run_case speed-115200-8250 case_speed "$UART"
    run_case speed-115200-usb case_speed "$USB_SERIAL"
    run_case detail-8250 case_detail "$UART"
    run_case detail-usb case_detail "$USB_SERIAL"
    run_case second-instance-8250 case_second_instance "$PCI_UART"
    run_case second-instance-usb case_second_instance "$USB_LOCK"
    run_case low-latency-usb case_low_latency_usb "$USB_LOCK"
    run_case low-latency-8250 case_low_latency_8250 "$PCI_UART"
    run_case unplug-usb case_unplug "$USB_UNPLUG" unplug
    run_case devices case_devices
    run_case discinfo-ide case_discinfo "$IDE_CD"
    run_case discinfo-virtio case_discinfo "$VIRTIO_CD"
    run_case burn-ide case_burn "$IDE_CD"
    run_case burn-test-write-ide case_burn "$IDE_CD" --test-write
    run_case burn-virtio case_burn "$VIRTIO_CD"
    run_case burn-test-write-virtio case_burn "$VIRTIO_CD" --test-write
    run_case mount-ide case_mount "$IDE_CD"
    run_case mount-virtio case_mount "$VIRTIO_CD"
    # The kernel's messages since the boot tell what the drivers made of the program's commands.
    [ "$VERBOSE" = 1 ] && dmesg | tail -n +$((boot_messages + 1)) | sed 's/^/vmtest: kernel: /'
    echo "vmtest: $passed passed, $failed failed"
}

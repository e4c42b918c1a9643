# Helpers for the guest's scenarios. Every wait is bounded; a scenario that cannot go on
# says why in its guest.log and ends with a non-zero status.
set -u
out=$1
adapter="$BUILD/tests/kernel/vuz-uhid-adapter"
cli="$BUILD/app/cli/vuz-cli"
declare -A adapter_pid=()
# The devices' command pipes live in the guest: 9p cannot carry a FIFO (QEMU takes an open
# of one for a broken client and stops serving the share).
pipes=/tmp/vuz-devices
mkdir -p "$pipes"
# Whatever a scenario started in the background ends with it.
trap 'kill $(jobs -p) 2>/dev/null; wait' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# wait_until TENTHS COMMAND...: polls COMMAND every 0.1 s, at most TENTHS times.
wait_until() {
    local tenths=$1
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# The hidraw node whose HID device has this HID_UNIQ, e.g. /dev/hidraw2.
hidraw_of() {
    local uevent
    for uevent in /sys/class/hidraw/hidraw*/device/uevent; do
        if grep -qx "HID_UNIQ=$1" "$uevent" 2>/dev/null; then
            local node=${uevent%/device/uevent}
            echo "/dev/${node##*/}"
            return 0
        fi
    done
    return 1
}

node_exists() {
    local node
    node=$(hidraw_of "$1") && [[ -c "$node" ]]
}

# start_device SERIAL [NAME] [VENDOR] [PRODUCT]: a uhid device with the adapter's report
# descriptor; returns once its hidraw node exists. Its log is $out/SERIAL.log.
start_device() {
    local serial=$1 name=${2:-ZEM VUZ Device} vendor=${3:-0416} product=${4:-8249}
    rm -f "$pipes/$serial.ctl"
    mkfifo "$pipes/$serial.ctl"
    "$adapter" --name "$name" --serial "$serial" --vendor "$vendor" --product "$product" \
        --log "$out/$serial.log" --control "$pipes/$serial.ctl" &
    adapter_pid[$serial]=$!
    wait_until 300 node_exists "$serial" || fail "no hidraw node for $serial"
}

# device_says SERIAL LINE: the device's log has this exact line.
device_says() {
    grep -qx -- "$2" "$out/$1.log" 2>/dev/null
}

device_command() {
    echo "$2" >"$pipes/$1.ctl"
}

# Removes the device and waits until its node is gone.
stop_device() {
    device_command "$1" destroy
    wait "${adapter_pid[$1]}"
    wait_until 300 bash -c "! grep -qsx HID_UNIQ=$1 /sys/class/hidraw/hidraw*/device/uevent" ||
        fail "the node of $1 stayed"
}

# Copies what the kernel says about every hidraw device: the HID device's uevent, its
# report descriptor (bytes), its sysfs path and the USB device's attributes above it.
dump_sysfs() {
    local dir=$1 node
    mkdir -p "$dir"
    for node in /sys/class/hidraw/hidraw*; do
        local name=${node##*/} hid
        hid=$(readlink -f "$node/device")
        mkdir -p "$dir/$name"
        echo "$hid" >"$dir/$name/syspath"
        cp "$hid/uevent" "$dir/$name/uevent"
        cat "$hid/report_descriptor" >"$dir/$name/report_descriptor"
        local up=$hid
        while [[ "$up" != /sys/devices && "$up" != / ]]; do
            if [[ -f "$up/idVendor" && -f "$up/bDeviceClass" ]]; then
                mkdir -p "$dir/$name/usb"
                for attribute in idVendor idProduct bcdDevice manufacturer product serial; do
                    [[ -f "$up/$attribute" ]] && cat "$up/$attribute" >"$dir/$name/usb/$attribute"
                done
                break
            fi
            up=${up%/*}
        done
    done
}

# make_adapter_gadget NAME SERIAL BCD: the adapter as a USB device made with the kernel's HID
# gadget function (configfs, usb_f_hid), not yet bound to a controller; sets gadget and
# function to its configfs directories.
make_adapter_gadget() {
    local config=/sys/kernel/config
    mountpoint -q "$config" || mount -t configfs none "$config" || fail "no configfs"
    gadget=$config/usb_gadget/$1
    function=$gadget/functions/hid.usb0
    mkdir "$gadget" || fail "cannot make a gadget"
    echo 0x0416 >"$gadget/idVendor"
    echo 0x8249 >"$gadget/idProduct"
    echo "$3" >"$gadget/bcdDevice"
    echo 0x0200 >"$gadget/bcdUSB"
    mkdir "$gadget/strings/0x409"
    echo "ZEM" >"$gadget/strings/0x409/manufacturer"
    echo "VUZ Device" >"$gadget/strings/0x409/product"
    echo "$2" >"$gadget/strings/0x409/serialnumber"
    mkdir -p "$gadget/configs/c.1/strings/0x409"
    echo "VUZ" >"$gadget/configs/c.1/strings/0x409/configuration"
    mkdir "$function"
    echo 0 >"$function/protocol"
    echo 0 >"$function/subclass"
    echo 8 >"$function/report_length"
    # The adapter's report descriptor: report ID 5, 7-byte input and output payloads.
    printf '\x06\x00\xff\x09\x01\xa1\x01\x85\x05\x15\x00\x26\xff\x00\x75\x08\x95\x07\x09\x02\x81\x02\x09\x03\x91\x02\xc0' \
        >"$function/report_desc"
    ln -s "$function" "$gadget/configs/c.1/"
}

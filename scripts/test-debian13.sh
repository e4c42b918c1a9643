#!/usr/bin/env bash
# The README's two commands on Debian 13: a minimal Debian 13 system (debootstrap) in
# build/debian13/root gets a copy of this tree's tracked files and runs ./test (which
# installs what it needs, builds with Debian 13's compiler and libraries and runs the whole
# suite) and then ./run (the demo's scenario on the offscreen platform).
# Needs root (chroot, mounts). The system is kept between runs; only the copy is new.
set -euo pipefail
cd "$(dirname "$0")/.."

[[ $(id -u) -eq 0 ]] || { echo "test-debian13.sh needs root (debootstrap, chroot)" >&2; exit 1; }
scripts/install-deps.sh debootstrap

base=$PWD/build/debian13
root=$base/root
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

mounted_below() {
    findmnt -rn -o TARGET | grep -q -F "$root/" || return 1
}
unmount_all() {
    local target
    for target in proc sys dev; do
        if mountpoint -q "$root/$target"; then
            umount -R "$root/$target" || umount -R -l "$root/$target" || true
        fi
    done
}
trap unmount_all EXIT

if [[ ! -f "$base/complete" ]]; then
    unmount_all
    # Never remove a tree with the host's /dev or /sys still mounted inside it.
    if mounted_below; then
        echo "something is still mounted below $root: not removing it" >&2
        exit 1
    fi
    rm -rf "$root"
    mkdir -p "$root"
    echo "== debootstrap trixie (minbase) into $root"
    started=$SECONDS
    debootstrap --variant=minbase trixie "$root" "$mirror" >"$base/debootstrap.log" 2>&1 ||
        { tail -n 30 "$base/debootstrap.log" >&2; exit 1; }
    touch "$base/complete"
    echo "   $((SECONDS - started)) s"
fi

cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"

echo "== copying the tree's tracked files to /src"
rm -rf "$root/src"
mkdir -p "$root/src"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$root/src"

echo "== ./test and ./run on $(cat "$root/etc/debian_version") ($(chroot "$root" sh -c '. /etc/os-release; echo "$PRETTY_NAME"'))"
started=$SECONDS
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    TERM=dumb CI="${CI:-}" bash -c "cd /src && ${DEBIAN13_COMMAND:-./test && ./run}"
echo "Debian 13: ./test and ./run passed in $((SECONDS - started)) s"

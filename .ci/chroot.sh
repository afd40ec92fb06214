# shellcheck shell=bash
# A Debian root to run commands in: the kernel's file systems bound into it while it is held,
# unbound on release, and the root removed only once nothing is mounted inside it any more.

readonly CHROOT_MOUNTS=(proc sys dev dev/pts)

# Binds /proc, /sys, /dev and /dev/pts into root $1 and gives it the host's name servers.
chroot_hold() {
  local mount
  for mount in "${CHROOT_MOUNTS[@]}"; do
    mount --bind "/$mount" "$1/$mount"
  done
  cp /etc/resolv.conf "$1/etc/resolv.conf"
}

# Runs the shell command $2 as root in root $1 with a clean environment.
in_chroot() {
  chroot "$1" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "$2"
}

# Unbinds what chroot_hold bound (deepest first; lazily, so a busy mount cannot stop it), then
# removes root $1. Nothing is removed while anything below it is still mounted.
chroot_release() {
  local index
  for ((index = ${#CHROOT_MOUNTS[@]} - 1; index >= 0; index--)); do
    if mountpoint -q "$1/${CHROOT_MOUNTS[index]}"; then
      umount -l "$1/${CHROOT_MOUNTS[index]}" || true
    fi
  done
  if findmnt -rn -o TARGET | grep -q "^$1/"; then
    echo "ci: $1 still has mounts; left in place" >&2
    return 1
  fi
  rm -rf --one-file-system "$1"
}

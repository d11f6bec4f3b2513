# Sourced by the test scripts: as root, mounts a small file system per test program that fills
# a disk (ZUNO_SMALL_DISK/host, /tools), so that tests can see writes fail for want of space;
# unmounted when the script ends. Without root those tests skip.
mount_small_disks() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "not root: tests that fill a disk will be skipped"
    return 0
  fi
  ZUNO_SMALL_DISK=$(mktemp -d /tmp/zuno-small-disk.XXXXXX)
  for d in host tools; do
    mkdir "$ZUNO_SMALL_DISK/$d"
    if ! mount -t tmpfs -o size=1m tmpfs "$ZUNO_SMALL_DISK/$d"; then
      echo "cannot mount a small file system: tests that fill a disk will be skipped"
      rm -rf "$ZUNO_SMALL_DISK"
      unset ZUNO_SMALL_DISK
      return 0
    fi
  done
  export ZUNO_SMALL_DISK
  trap unmount_small_disks EXIT
}

unmount_small_disks() {
  for d in host tools; do umount "$ZUNO_SMALL_DISK/$d" 2>/dev/null || true; done
  rm -rf "$ZUNO_SMALL_DISK"
}

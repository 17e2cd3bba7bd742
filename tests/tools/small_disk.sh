#!/usr/bin/env bash
# Mounts (or unmounts) a 4 MB tmpfs at DIR for the end-to-end test of a disk that fills during
# an entry. Where no tmpfs can be mounted (not root, a container without the right), it says so
# and leaves DIR without the mark the test looks for: that test then skips.
#   Usage: small_disk.sh mount|umount DIR
set -u
what=$1 dir=$2
case $what in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir"
    if mount -t tmpfs -o size=4m zelvix-small-disk "$dir" 2>/dev/null; then
      touch "$dir/.small-disk"
    else
      echo "small_disk: cannot mount a tmpfs at $dir; the full-disk test will skip"
    fi ;;
  umount)
    if mountpoint -q "$dir"; then umount "$dir"; fi
    rmdir "$dir" 2>/dev/null || true ;;
esac
exit 0

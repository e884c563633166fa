#pragma once

#include <QByteArray>
#include <QStringList>

// The machine's fixed drives: the mount points of local disk file systems (ext4, xfs, btrfs,
// vfat, ntfs, ...), in name order. Pseudo file systems (proc, sysfs, tmpfs, cgroup...),
// network and FUSE mounts are none. A mount point mounted over again counts with the file
// system mounted last.

// The drives a mount table in the form of /proc/self/mounts names.
QStringList LocalDiskMounts(const QByteArray& mountTable);

// The drives of this machine, from /proc/self/mounts; none when it cannot be read.
QStringList LocalDrives();

#include "LocalDrives.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct TMountsCase
{
    const char* name;
    QByteArray Table;
    QStringList Drives;
};

void PrintTo(const TMountsCase& c, std::ostream* os)
{
    *os << c.name;
}

class LocalDrivesTest : public ::testing::TestWithParam<TMountsCase>
{};

TEST_P(LocalDrivesTest, AreTheLocalDiskMountsInNameOrder)
{
    EXPECT_EQ(LocalDiskMounts(GetParam().Table), GetParam().Drives);
}

const TMountsCase MountsCases[] = {
    {"desktop",
     "proc /proc proc rw,relatime 0 0\n"
     "sysfs /sys sysfs rw 0 0\n"
     "/dev/nvme0n1p2 / ext4 rw,relatime 0 0\n"
     "tmpfs /run tmpfs rw 0 0\n"
     "/dev/nvme0n1p3 /home btrfs rw 0 0\n"
     "/dev/nvme0n1p1 /boot/efi vfat rw 0 0\n"
     "server:/music /mnt/music nfs4 rw 0 0\n"
     "//nas/share /mnt/share cifs rw 0 0\n"
     "sshfs#me@host: /mnt/ssh fuse.sshfs rw 0 0\n"
     "/dev/sdb1 /media/me/WINDOWS fuseblk rw 0 0\n"
     "/dev/sda1 /data xfs rw 0 0\n"
     "/dev/sdc1 /win ntfs3 rw 0 0\n",
     {"/", "/boot/efi", "/data", "/home", "/win"}},
    {"escaped_names",
     "/dev/sda2 /media/me/My\\040Disk exfat rw 0 0\n"
     "/dev/sda3 /mnt/back\\134slash ext4 rw 0 0\n",
     {"/media/me/My Disk", "/mnt/back\\slash"}},
    // The file system mounted last on a point is the one there.
    {"mounted_over",
     "/dev/sda1 /srv ext4 rw 0 0\n"
     "tmpfs /srv tmpfs rw 0 0\n"
     "tmpfs /var/cache tmpfs rw 0 0\n"
     "/dev/sda4 /var/cache ext4 rw 0 0\n",
     {"/var/cache"}},
    {"no_disks", "proc /proc proc rw 0 0\n\nbroken line\n", {}},
};

INSTANTIATE_TEST_SUITE_P(Platform, LocalDrivesTest, ::testing::ValuesIn(MountsCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

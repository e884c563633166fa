#include "Privileges.h"

#include <linux/capability.h>
#include <linux/securebits.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Sets the effective capability set to the permitted one, or to nothing; with forGood the
// permitted and inheritable sets go too.
bool SetCapabilities(bool all, bool forGood)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (__user_cap_data_struct& part : data) {
        part.effective = all ? part.permitted : 0;
        if (forGood)
            part.permitted = part.inheritable = 0;
    }
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

TWithoutPrivileges::TWithoutPrivileges() : m_dropped(SetCapabilities(false, false)) {}

TWithoutPrivileges::~TWithoutPrivileges()
{
    if (m_dropped)
        SetCapabilities(true, false);
}

void DropPrivilegesForGood()
{
    // Without these bits a program run as root gets every capability back at exec.
    prctl(PR_SET_SECUREBITS, SECBIT_NOROOT | SECBIT_NOROOT_LOCKED);
    SetCapabilities(false, true);
}

#pragma once

// Tests that need a folder the program cannot read also run as root (CI does): root passes
// every permission bit through its capabilities, so these take them away.

// While it lives, the process's effective capabilities are dropped (they stay permitted and
// come back at the end), so that root meets permission bits as a user does.
class TWithoutPrivileges
{
public:
    TWithoutPrivileges();
    ~TWithoutPrivileges();
    TWithoutPrivileges(const TWithoutPrivileges&) = delete;
    TWithoutPrivileges& operator=(const TWithoutPrivileges&) = delete;

private:
    bool m_dropped = false;
};

// For a child between fork and exec: drops every capability for good, also for the program
// it then runs as root and that program's children. System calls only.
void DropPrivilegesForGood();

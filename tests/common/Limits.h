#pragma once

#include <cstddef>
#include <pthread.h>
#include <sys/resource.h>

// Limits of the machine, lowered for a while in the test process and inherited by the tools
// it starts meanwhile, so that a test makes an allocation or a descriptor fail where it wants
// instead of exhausting the machine.

// The sanitizers keep books of their own in memory and descriptors that a limit would take
// away; tests of the tightest limits skip under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool UnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool UnderSanitizer = true;
#else
constexpr bool UnderSanitizer = false;
#endif
#else
constexpr bool UnderSanitizer = false;
#endif

// One resource limit lowered while it lives; the soft limit comes back at the end.
class TResourceLimit
{
public:
    TResourceLimit(int resource, rlim_t limit);
    ~TResourceLimit();
    TResourceLimit(const TResourceLimit&) = delete;
    TResourceLimit& operator=(const TResourceLimit&) = delete;

    bool isSet() const { return m_set; }

private:
    int m_resource;
    rlimit m_saved{};
    bool m_set = false;
};

// While it lives, a new thread asks for a larger stack than any an ended thread left behind
// for reuse, so that it needs memory of its own.
class TFreshThreadStacks
{
public:
    TFreshThreadStacks();
    ~TFreshThreadStacks();
    TFreshThreadStacks(const TFreshThreadStacks&) = delete;
    TFreshThreadStacks& operator=(const TFreshThreadStacks&) = delete;

private:
    size_t m_saved = 0;
};

// The address space may grow by `room` bytes beyond what the process maps now.
rlim_t AddressSpaceWithRoom(size_t room);

// The descriptor limit under which exactly `free` more descriptors can be opened.
rlim_t DescriptorsWithRoom(int free);

// The same in a child between fork and exec, where only system calls are allowed: sets the
// soft limit, keeping the hard one.
void SetSoftLimit(int resource, rlim_t limit);

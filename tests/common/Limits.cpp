#include "Limits.h"

#include <QByteArray>
#include <QFile>
#include <fcntl.h>

TResourceLimit::TResourceLimit(int resource, rlim_t limit) : m_resource(resource)
{
    if (getrlimit(resource, &m_saved) != 0)
        return;
    const rlimit lowered{limit, m_saved.rlim_max};
    m_set = setrlimit(resource, &lowered) == 0;
}

TResourceLimit::~TResourceLimit()
{
    if (m_set)
        setrlimit(m_resource, &m_saved);
}

namespace {

size_t DefaultStackSize()
{
    pthread_attr_t attr;
    size_t size = 0;
    if (pthread_getattr_default_np(&attr) == 0) {
        pthread_attr_getstacksize(&attr, &size);
        pthread_attr_destroy(&attr);
    }
    return size;
}

void SetDefaultStackSize(size_t size)
{
    pthread_attr_t attr;
    if (pthread_getattr_default_np(&attr) != 0)
        return;
    pthread_attr_setstacksize(&attr, size);
    pthread_setattr_default_np(&attr);
    pthread_attr_destroy(&attr);
}

} // namespace

// An ended thread's stack is kept for a new thread that asks for no more than it has.
TFreshThreadStacks::TFreshThreadStacks() : m_saved(DefaultStackSize())
{
    SetDefaultStackSize(m_saved * 8);
}

TFreshThreadStacks::~TFreshThreadStacks()
{
    SetDefaultStackSize(m_saved);
}

// VmSize is what the limit counts.
rlim_t AddressSpaceWithRoom(size_t room)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return RLIM_INFINITY;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return rlim_t(line.mid(7).trimmed().split(' ').value(0).toULongLong()) * 1024 + room;
    }
    return RLIM_INFINITY;
}

// A new descriptor takes the lowest free number, and the limit bounds the numbers: the limit
// stands where the free numbers below it are exactly `free`.
rlim_t DescriptorsWithRoom(int free)
{
    int limit = 0;
    for (int found = 0;; ++limit) {
        if (fcntl(limit, F_GETFD) >= 0)
            continue;
        if (found == free)
            break;
        ++found;
    }
    return rlim_t(limit);
}

void SetSoftLimit(int resource, rlim_t limit)
{
    rlimit current{};
    getrlimit(resource, &current);
    current.rlim_cur = limit;
    setrlimit(resource, &current);
}

#include "TJobQueue.h"

#include <algorithm>

bool TJobQueue::Append(const QString& path, const QString& baseFolder)
{
    if (m_paths.contains(path))
        return false;
    m_paths.insert(path);
    m_entries.push_back({path, baseFolder});
    return true;
}

void TJobQueue::Clear()
{
    m_entries.clear();
    m_paths.clear();
}

qsizetype TJobQueue::Remove(const QString& path)
{
    if (!m_paths.remove(path))
        return -1;
    const auto entry =
        std::find_if(m_entries.begin(), m_entries.end(),
                     [&path](const TQueueEntry& queued) { return queued.Path == path; });
    const qsizetype index = entry - m_entries.begin();
    m_entries.erase(entry);
    return index;
}

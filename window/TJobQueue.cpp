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

void TJobQueue::RemoveFirst()
{
    m_paths.remove(m_entries.front().Path);
    m_entries.pop_front();
}

void TJobQueue::Clear()
{
    m_entries.clear();
    m_paths.clear();
}

void TJobQueue::Remove(const QString& path)
{
    if (!m_paths.remove(path))
        return;
    m_entries.erase(std::find_if(m_entries.begin(), m_entries.end(),
                                 [&path](const TQueueEntry& entry) { return entry.Path == path; }));
}

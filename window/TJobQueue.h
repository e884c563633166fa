#pragma once

#include <QSet>
#include <QString>
#include <deque>

// One queued file: its full path and the folder of the dropped item it came in through, so
// the destination can rebuild the dropped folder's structure.
struct TQueueEntry
{
    QString Path;
    QString BaseFolder;
};

// The queue of jobs, first entry first. A path is queued at most once at a time; the check
// is a hash look-up, so a drop of many thousand files stays linear.
class TJobQueue
{
public:
    // False, and nothing changes, when the path is queued already.
    bool Append(const QString& path, const QString& baseFolder);
    const TQueueEntry& First() const { return m_entries.front(); }
    // Removes the entry of this path, wherever it is: where it stood, or -1 when it was not
    // queued.
    qsizetype Remove(const QString& path);
    void Clear();
    bool IsEmpty() const { return m_entries.empty(); }
    bool Contains(const QString& path) const { return m_paths.contains(path); }
    qsizetype Count() const { return qsizetype(m_entries.size()); }
    const TQueueEntry& At(qsizetype index) const { return m_entries.at(size_t(index)); }

private:
    std::deque<TQueueEntry> m_entries;
    QSet<QString> m_paths;
};

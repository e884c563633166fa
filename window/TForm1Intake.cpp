// TForm1: how dropped files and folders reach the queue.
#include "FileSystem.h"
#include "PathText.h"
#include "TForm1.h"

void TForm1::AppMessage(const QStringList& droppedPaths)
{
    if (m_window)
        m_window->bringToFront(false);
    if (!Busy)
        ErrorCount = 0;
    // A drop during a run withdraws a pending Cancel, never a close request; the run goes
    // on as before the Cancel.
    CancelRequested = m_closeRequested;
    PassCancelToAdapter();
    SetTicked(TMenuItem::Stopcurrentprocesses1, false);
    if (Busy)
        SetJobSettingCommandsEnabled(false);
    ErrorsMuted = false;
    TakeDroppedItems(droppedPaths);
    if (m_window)
        m_window->bringToFront(false);
    // During a run, the first activation or a version probe the drop only queues; after a
    // close request it starts nothing.
    if (!Busy && !LoopGuard && !m_probe && !m_starting && !m_closeRequested) {
        LoopGuard = true;
        TranscodeQueue();
        LoopGuard = false;
    }
}

void TForm1::TakeDroppedItems(const QStringList& droppedPaths)
{
    for (const QString& dropped : droppedPaths) {
        const QString path = AbsoluteCleanPath(dropped);
        const QString base = FolderPart(path);
        switch (PathKind(path)) {
        case TPathKind::File:
            AddFile(path, base);
            break;
        case TPathKind::Folder:
        case TPathKind::Missing: // finds nothing
            ScanFolder(path, base);
            break;
        case TPathKind::Other: // a pipe or device is never read
            break;
        }
    }
}

void TForm1::ScanFolder(const QString& folder, const QString& base)
{
    QSet<TFolderId> seen;
    ScanFolderOnce(folder, base, seen);
}

// Every folder is entered once per scan, so a link that points back up the tree ends the
// descent instead of looping.
void TForm1::ScanFolderOnce(const QString& folder, const QString& base, QSet<TFolderId>& seen)
{
    const QString dir = folder.endsWith(PathSeparator) ? folder : folder + PathSeparator;
    const std::optional<TFolderId> id = FolderIdentity(dir);
    if (!id || seen.contains(*id))
        return;
    seen.insert(*id);
    QString problem;
    const QList<TFolderEntry> entries = FolderEntries(dir, &problem);
    if (!problem.isEmpty())
        ReportIntakeProblem(QStringLiteral("cannot read the folder %1: %2").arg(dir, problem));
    for (const TFolderEntry& entry : entries) {
        if (entry.Kind == TPathKind::File)
            AddFile(dir + entry.Name, base);
        else if (entry.Kind == TPathKind::Folder && !IsHiddenName(entry.Name))
            ScanFolderOnce(dir + entry.Name, base, seen);
    }
}

bool TForm1::IsAccepted(const QString& path) const
{
    const std::optional<TSourceKind> kind = SourceKindOf(path);
    if (!kind)
        return false;
    switch (*kind) {
    case TSourceKind::Flac:
        return FlacFound;
    case TSourceKind::Ape:
        return ApeFound;
    case TSourceKind::Wav:
        break;
    }
    return !IsTicked(TMenuItem::Verifyonly1);
}

void TForm1::AddFile(const QString& path, const QString& base)
{
    if (IsAccepted(path) && m_queue.Append(path, base))
        m_view.appendQueueEntry(path);
}

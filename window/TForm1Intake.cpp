// TForm1: how dropped files and folders reach the queue.
#include "FileSystem.h"
#include "PathText.h"
#include "TForm1.h"

void TForm1::AppMessage(const QStringList& droppedPaths)
{
    if (m_window)
        m_window->bringToFront(false);
    // A drop during a run withdraws a pending Cancel, never a close request; the run goes
    // on as before the Cancel.
    CancelRequested = m_closeRequested;
    PassCancelToAdapter();
    SetTicked(TMenuItem::Stopcurrentprocesses1, false);
    if (Busy)
        SetJobSettingCommandsEnabled(false);
    ErrorsMuted = false;
    m_lastDrop = {};
    TakeDroppedItems(droppedPaths);
    if (m_window)
        m_window->bringToFront(false);
    // During a run, the first activation or a version probe the drop only queues; after a
    // close request it starts nothing. A drop that queued nothing and found no problem starts
    // no run either, which would only wipe the last run's error list and status lines.
    const bool toRun = m_lastDrop.Queued() != 0 || !m_intakeProblems.isEmpty();
    if (toRun && !Busy && !LoopGuard && !m_probe && !m_starting && !m_closeRequested) {
        LoopGuard = true;
        TranscodeQueue();
        LoopGuard = false;
    }
    // After the run it started, which clears the line.
    if (m_lastDrop.Queued() == 0)
        ShowNothingToConvert();
}

// Else a drop that holds nothing to convert would do nothing visible at all.
void TForm1::ShowNothingToConvert()
{
    const TIntakeRules rules = IntakeRules();
    QString line = QStringLiteral("nothing to convert in the drop: ") + m_lastDrop.Reason(rules);
    if (!m_lastDrop.MissingDecoders(rules).isEmpty())
        line += QStringLiteral(" — press F10");
    if (m_window)
        m_window->setDestinationColor(TColor{});
    m_view.setLabelText(TLabel::Destination, line);
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

TIntakeRules TForm1::IntakeRules() const
{
    return {FlacFound, ApeFound, IsTicked(TMenuItem::Verifyonly1)};
}

void TForm1::AddFile(const QString& path, const QString& base)
{
    const std::optional<TSourceKind> kind = SourceKindOf(path);
    const bool queued = kind && IntakeRules().Accepts(*kind) && m_queue.Append(path, base);
    if (queued)
        m_view.appendQueueEntry(path);
    m_lastDrop.Count(kind, queued);
}

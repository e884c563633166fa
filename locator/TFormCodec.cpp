#include "TFormCodec.h"

#include "ToolNames.h"

#include <algorithm>

namespace {

// Marks a flac entry whose folder holds metaflac too.
const QString CompanionMark = QStringLiteral(" +++++ ");
const QString NoCodecFoundText = QStringLiteral("no codec found; try to find one on the internet");
const QString AllFilesFilter = QStringLiteral("ALL (*)");

// What sets the rows apart: the tool file, the one that must stand beside it, the filter of
// the open dialog and the download page on the maker's web server.
struct TRowTools
{
    QString Tool;
    QString Companion;
    QString Filter;
    QString WebPage;
};

const TRowTools& Tools(TCodecRow row)
{
    static const std::array<TRowTools, 3> tools = {{
        {LameTool,
         {},
         QStringLiteral("LAME (") + LameTool + u')',
         QStringLiteral("/net/redir.php?dest=free-codecs_lame")},
        {MacTool,
         {},
         QStringLiteral("APE (") + MacTool + u')',
         QStringLiteral("/net/redir.php?dest=free-codecs_ape")},
        {FlacTool, MetaflacTool,
         QStringLiteral("FLAC & METAFLAC (") + FlacTool + u' ' + MetaflacTool + u')',
         QStringLiteral("/net/redir.php?dest=free-codecs_flac")},
    }};
    return tools[size_t(row)];
}

TLocatorLabel LabelOf(TCodecRow row)
{
    return TLocatorLabel(int(row));
}

// Only the folder of an entry counts: the tool must be there under its own name, since that
// is the path the main window will run.
bool ToolBeside(const QString& entry, const QString& tool)
{
    return ToolIn(FolderOf(entry), tool);
}

// Below a root such as "/" a single separator follows it.
QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

void TFormCodec::ClearEntryItems()
{
    for (TEntry& entry : m_entries)
        entry.Items.clear();
}

QString TFormCodec::EntryFor(TCodecRow row, const QString& folder)
{
    const TRowTools& tools = Tools(row);
    if (!ToolIn(folder, tools.Tool))
        return folder;
    if (!tools.Companion.isEmpty() && ToolIn(folder, tools.Companion))
        return folder + tools.Tool + CompanionMark + tools.Companion;
    return folder + tools.Tool;
}

bool TFormCodec::Run(ICodecLocatorHost& host)
{
    m_open = true;
    m_abandoned = false;
    const bool confirmed = host.runCodecLocator(*this);
    m_open = false;
    return confirmed;
}

void TFormCodec::Abandon()
{
    StopSearch = true;
    m_abandoned = true;
    View().abandonDialog();
}

void TFormCodec::FormActivate()
{
    View().setCaption(QStringLiteral("Quarlow - Find Codec locations on the local hard drives"));
    for (TCodecRow row : CodecRows) {
        ShowEntry(row);
        Entry(row).OrigText = EntryText(row);
    }
    GetLabelColors();
    SetSearching(false);
    View().setSearchEnabled(true);
    View().setWebEnabled(!WebHost.isEmpty());
    ClearLines();
    StopSearch = false;
    CancelClose = true;
}

void TFormCodec::ShowEntry(TCodecRow row)
{
    View().setEntryItems(row, EntryItems(row));
    View().setEntryText(row, EntryText(row));
}

void TFormCodec::ChangeEntry(TCodecRow row, const QString& text)
{
    Entry(row).Text = text;
    View().setEntryText(row, text);
}

void TFormCodec::ClearLines()
{
    for (TLocatorLine line :
         {TLocatorLine::NrOfCodecs, TLocatorLine::NrOfMeta, TLocatorLine::PathOfAudioCodecs})
        View().setLineText(line, QString());
    m_noCodecFoundShown = false;
    FitHeight();
}

void TFormCodec::SetSearching(bool searching)
{
    m_searching = searching;
    View().setStopShown(searching);
    FitHeight();
}

// The path line below the buttons shows only at the taller height: while a search runs, and
// after one without a match, whose message stays until the lines are cleared.
void TFormCodec::FitHeight()
{
    View().setHeight(m_searching || m_noCodecFoundShown ? SearchHeight : IdleHeight);
}

void TFormCodec::GetLabelColors()
{
    for (TCodecRow row : CodecRows)
        m_found[size_t(LabelOf(row))] = ToolBeside(EntryText(row), Tools(row).Tool);
    m_found[size_t(TLocatorLabel::Meta)] = ToolBeside(EntryText(TCodecRow::Flac), MetaflacTool);
    for (TLocatorLabel label :
         {TLocatorLabel::Lame, TLocatorLabel::Ape, TLocatorLabel::Flac, TLocatorLabel::Meta})
        View().setLabelFound(label, IsFound(label));
    View().repaint();
}

void TFormCodec::GetLocalDrives()
{
    m_driveRoots = ListDrives();
}

// The row's list is filled anew; every match is added and the last one stays chosen. A
// search that finds nothing says so on the path line and leaves it there, in sight.
void TFormCodec::sbtLAMEfindClick(TCodecRow row)
{
    View().setSearchEnabled(false);
    StopSearch = false;
    Entry(row).Items.clear();
    Entry(row).Text = Entry(row).OrigText;
    ShowEntry(row);
    SetSearching(true);
    FoundCount = CompanionCount = 0;
    ClearLines();
    View().setPathLineRed(false);
    GetLocalDrives();
    View().setBusyCursor(true);
    for (const QString& root : std::as_const(m_driveRoots)) {
        if (StopSearch)
            break;
        SearchDrive(root, row);
    }
    m_visited.clear();
    m_noCodecFoundShown = FoundCount == 0;
    View().setPathLineRed(m_noCodecFoundShown);
    View().setLineText(TLocatorLine::PathOfAudioCodecs,
                       m_noCodecFoundShown ? NoCodecFoundText : QString());
    SetSearching(false);
    View().setBusyCursor(false);
    GetLabelColors();
    View().setSearchEnabled(true);
}

// A drive is walked without stepping onto another file system mounted inside it.
void TFormCodec::SearchDrive(const QString& root, TCodecRow row)
{
    const std::optional<TFolderId> id = FolderIdentity(root);
    if (!id || m_visited.contains(*id))
        return;
    m_visited.insert(*id);
    m_device = id->Device;
    SearchFolder(root, Tools(row).Tool, row, Tools(row).Companion);
}

// A match carries the target's name in any case and can be run: a data file of that name
// (terminfo keeps one called "mac") is none, nor is a link to a folder or to such a file.
void TFormCodec::SearchFolder(const QString& folder, const QString& target, TCodecRow row,
                              const QString& companion)
{
    for (const TFolderEntry& item : FolderEntries(folder)) {
        if (StopSearch)
            return;
        const QString full = JoinPath(folder, item.Name);
        if (item.Kind == TPathKind::Folder) {
            if (MayEnter(full, item.Name)) {
                SearchFolder(full, target, row, companion);
                View().processEvents();
            }
        } else if (item.Name.toLower() == target && ToolIn(FolderOf(full), item.Name)) {
            ExamineFile(full, target, row, companion);
        }
        CountEntry(full);
    }
}

// Hidden folders stay closed. A link to a folder is not followed, and a folder seen before
// (a folder mounted a second time) is not entered again, so the walk always ends.
bool TFormCodec::MayEnter(const QString& folder, const QString& name)
{
    if (IsHiddenName(name) || IsLink(folder))
        return false;
    const std::optional<TFolderId> id = FolderIdentity(folder);
    if (!id || id->Device != m_device || m_visited.contains(*id))
        return false;
    m_visited.insert(*id);
    return true;
}

void TFormCodec::ExamineFile(const QString& full, const QString& target, TCodecRow row,
                             const QString& companion)
{
    ++FoundCount;
    View().setLineText(TLocatorLine::NrOfCodecs,
                       target + QStringLiteral(": %1 found").arg(FoundCount));
    TEntry& entry = Entry(row);
    if (!companion.isEmpty() && ToolIn(FolderOf(full), companion)) {
        ++CompanionCount;
        View().setLineText(TLocatorLine::NrOfMeta,
                           companion + QStringLiteral(": %1 found").arg(CompanionCount));
        entry.Items << full + CompanionMark + companion;
    } else {
        entry.Items << full;
    }
    entry.Text = entry.Items.last();
    ShowEntry(row);
    View().processEvents();
}

// Every 500th entry shows where the search is.
void TFormCodec::CountEntry(const QString& full)
{
    if (++EntriesSeen % 500 != 0)
        return;
    View().setLineText(TLocatorLine::PathOfAudioCodecs, FolderOf(full));
    View().processEvents();
}

void TFormCodec::sbtLAMEbrowseClick(TCodecRow row)
{
    const TRowTools& tools = Tools(row);
    const std::optional<QString> chosen = View().askToolFile(
        row, {FolderOf(EntryText(row)), tools.Tool, {tools.Filter, AllFilesFilter}});
    if (chosen)
        ChangeEntry(row, FolderOf(*chosen) + tools.Tool);
    GetLabelColors();
}

void TFormCodec::sbtLAMEwebClick(TCodecRow row)
{
    if (!WebHost.isEmpty())
        View().openWebPage(QStringLiteral("http://") + WebHost + Tools(row).WebPage);
}

void TFormCodec::sbtLAMEcancelClick(TCodecRow row)
{
    ChangeEntry(row, Entry(row).OrigText);
    ClearLines();
    GetLabelColors();
}

void TFormCodec::cbxLAMEChange(TCodecRow row, const QString& text)
{
    Entry(row).Text = text;
    GetLabelColors();
}

void TFormCodec::odbtnSaveClick()
{
    if (NothingChanged() || AllCodecsFound() ||
        View().askWarning(TWarnQuestion::SaveWithCodecsMissing)) {
        CancelClose = false;
        View().closeDialog();
    }
}

void TFormCodec::odbtnStopClick()
{
    StopSearch = true;
    SetSearching(false);
    GetLabelColors();
}

void TFormCodec::odbtnCancelClick()
{
    CancelClose = true;
    View().closeDialog();
}

void TFormCodec::FormKeyDown(int key)
{
    if (key == Qt::Key_Escape)
        odbtnCancelClick();
}

bool TFormCodec::FormCloseQuery()
{
    if (CancelClose && !NothingChanged()) {
        if (!View().askWarning(TWarnQuestion::DiscardChanges))
            return false;
        RestoreOriginals();
    }
    // A search never goes on behind a closed dialog.
    StopSearch = true;
    return true;
}

void TFormCodec::RestoreOriginals()
{
    StopSearch = true;
    for (TCodecRow row : CodecRows) {
        Entry(row).Items.clear();
        Entry(row).Text = Entry(row).OrigText;
        ShowEntry(row);
    }
    GetLabelColors();
    SetSearching(false);
    ClearLines();
}

// The META label does not count: FLAC works without metaflac.
bool TFormCodec::AllCodecsFound() const
{
    return IsFound(TLocatorLabel::Lame) && IsFound(TLocatorLabel::Flac) &&
           IsFound(TLocatorLabel::Ape);
}

bool TFormCodec::NothingChanged() const
{
    return std::all_of(m_entries.begin(), m_entries.end(),
                       [](const TEntry& entry) { return entry.Text == entry.OrigText; });
}

QPoint TFormCodec::Origin(const QRect& mainWindow)
{
    return {mainWindow.left() - (DialogWidth - mainWindow.width()) / 2, mainWindow.top()};
}

QPoint TFormCodec::WarnOrigin(const QPoint& dialog)
{
    return dialog + QPoint(174, 126);
}

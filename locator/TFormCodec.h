#pragma once

#include "FileSystem.h"
#include "LocalDrives.h"

#include <QPoint>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

// The tool families the codec locator has a row for.
enum class TCodecRow
{
    Lame,
    Ape,
    Flac
};
inline constexpr std::array<TCodecRow, 3> CodecRows = {TCodecRow::Lame, TCodecRow::Ape,
                                                       TCodecRow::Flac};

// The coloured labels: one per row, and "META" for metaflac beside flac.
enum class TLocatorLabel
{
    Lame,
    Ape,
    Flac,
    Meta
};

// The text lines below the rows: how many tool files and how many metaflac beside them the
// search found, and the path line, which is seen only while a search runs and after one that
// found nothing.
enum class TLocatorLine
{
    NrOfCodecs,
    NrOfMeta,
    PathOfAudioCodecs
};

// The questions of the warning window, TFormWarn.
enum class TWarnQuestion
{
    // "There are codecs missing." / "Do you want to save it as it is?"
    SaveWithCodecsMissing,
    // "Do you want to discard the changes?"
    DiscardChanges
};

// What a row's open dialog asks for: where it starts, the file name it offers and its filters
// ("LAME (lame)", "ALL (*)").
struct TToolFileQuestion
{
    QString StartFolder;
    QString FileName;
    QStringList Filters;
};

// What the codec locator's logic needs of the dialog that shows it.
class ICodecLocatorView
{
public:
    virtual ~ICodecLocatorView() = default;
    virtual void setCaption(const QString& caption) = 0;
    virtual void setEntryText(TCodecRow row, const QString& text) = 0;
    // The entry's drop-down list.
    virtual void setEntryItems(TCodecRow row, const QStringList& items) = 0;
    // The label in the colour of a tool that is there, or in red.
    virtual void setLabelFound(TLocatorLabel label, bool found) = 0;
    virtual void setLineText(TLocatorLine line, const QString& text) = 0;
    // The path line in red, or in black.
    virtual void setPathLineRed(bool red) = 0;
    // While a search runs: Stop shown, OK and Cancel hidden; else the other way round.
    virtual void setStopShown(bool shown) = 0;
    virtual void setSearchEnabled(bool enabled) = 0;
    virtual void setWebEnabled(bool enabled) = 0;
    virtual void setHeight(int height) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual void repaint() = 0;
    // Runs the user's pending commands; called often while a search runs.
    virtual void processEvents() = 0;
    // The row's open dialog: the chosen file, or none when the user cancels.
    virtual std::optional<QString> askToolFile(TCodecRow row,
                                               const TToolFileQuestion& question) = 0;
    virtual void openWebPage(const QString& url) = 0;
    // The warning window; true for "Yes".
    virtual bool askWarning(TWarnQuestion question) = 0;
    // A close request: it goes through TFormCodec::FormCloseQuery, and a dialog that closes
    // ends with OK.
    virtual void closeDialog() = 0;
    // Ends the dialog at once, without OK and without asking.
    virtual void abandonDialog() = 0;
};

class TFormCodec;

// What the main window does around the locator.
class ICodecLocatorHost
{
public:
    virtual ~ICodecLocatorHost() = default;
    // Shows the locator modally beside the main window, which hides meanwhile; true when the
    // locator closed with OK.
    virtual bool runCodecLocator(TFormCodec& locator) = 0;
};

// The codec locator: one entry per tool family (LAME, APE, FLAC) that the user can type in,
// browse to, search the fixed drives for, or reset; coloured labels say whether an entry's
// folder holds the tool. The entries live here, so the main window fills them before the
// dialog shows and reads them after it has closed.
class TFormCodec
{
public:
    static constexpr int DialogWidth = 612;
    static constexpr int IdleHeight = 175;
    // The path line below the buttons shows only at this height: while a search runs and
    // while it says that the last search found nothing.
    static constexpr int SearchHeight = 200;

    // The roots the search walks, in order: the fixed drives unless a test gives its own.
    std::function<QStringList()> ListDrives = LocalDrives;
    // Host (and ":port") of the maker's web server; without one there are no web pages.
    QString WebHost;

    // The dialog that shows the locator from now on.
    void SetView(ICodecLocatorView& view) { m_view = &view; }

    // The entries as the main window fills them before the dialog opens and reads them after.
    const QString& EntryText(TCodecRow row) const { return Entry(row).Text; }
    void SetEntryText(TCodecRow row, const QString& text) { Entry(row).Text = text; }
    const QStringList& EntryItems(TCodecRow row) const { return Entry(row).Items; }
    void ClearEntryItems();
    // The entry a row shows for a tool folder: the tool's path when the tool is there (FLAC's
    // with the metaflac mark when metaflac is beside it), else the folder text itself.
    static QString EntryFor(TCodecRow row, const QString& folder);

    // Shows the dialog through the host until it closes; true when it closed with OK.
    bool Run(ICodecLocatorHost& host);
    bool IsOpen() const { return m_open; }
    // The program is closing: a search stops and the dialog ends without OK or a question.
    void Abandon();
    bool WasAbandoned() const { return m_abandoned; }

    // Each opening: takes the entries as the ones Cancel and reset go back to.
    void FormActivate();
    void GetLabelColors();
    void GetLocalDrives();
    // The search buttons of the three rows.
    void sbtLAMEfindClick(TCodecRow row);
    // The browse, web and reset buttons, each shared by the three rows in the same way.
    void sbtLAMEbrowseClick(TCodecRow row);
    void sbtLAMEwebClick(TCodecRow row);
    void sbtLAMEcancelClick(TCodecRow row);
    // The user changed the entry's text, by typing or by choosing from its list.
    void cbxLAMEChange(TCodecRow row, const QString& text);
    void odbtnSaveClick();
    void odbtnStopClick();
    void odbtnCancelClick();
    // Esc closes as Cancel does.
    void FormKeyDown(int key);
    // Every close request; false keeps the dialog open. A close stops a running search.
    bool FormCloseQuery();
    void RestoreOriginals();
    bool AllCodecsFound() const;
    bool NothingChanged() const;
    bool IsFound(TLocatorLabel label) const { return m_found[size_t(label)]; }

    // Where the dialog opens: centred on the main window's width, at its top.
    static QPoint Origin(const QRect& mainWindow);
    // Where the warning window opens, from the dialog's position.
    static QPoint WarnOrigin(const QPoint& dialog);

    // Of the running search, and the entries examined in all of the program's searches.
    int FoundCount = 0;
    int CompanionCount = 0;
    qint64 EntriesSeen = 0;
    bool StopSearch = false;
    // The close under way comes from Cancel, Esc or the close box.
    bool CancelClose = false;

private:
    struct TEntry
    {
        QString Text;
        QStringList Items;
        // The text at the dialog's activation.
        QString OrigText;
    };
    TEntry& Entry(TCodecRow row) { return m_entries[size_t(row)]; }
    const TEntry& Entry(TCodecRow row) const { return m_entries[size_t(row)]; }
    ICodecLocatorView& View() const { return *m_view; }

    void ShowEntry(TCodecRow row);
    void ChangeEntry(TCodecRow row, const QString& text);
    void ClearLines();
    void SetSearching(bool searching);
    void FitHeight();
    void SearchDrive(const QString& root, TCodecRow row);
    void SearchFolder(const QString& folder, const QString& target, TCodecRow row,
                      const QString& companion);
    void ExamineFile(const QString& full, const QString& target, TCodecRow row,
                     const QString& companion);
    bool MayEnter(const QString& folder, const QString& name);
    void CountEntry(const QString& folder);

    ICodecLocatorView* m_view = nullptr;
    std::array<TEntry, 3> m_entries;
    std::array<bool, 4> m_found{};
    QStringList m_driveRoots;
    // Of the running search: the folders entered, and the device of the drive it walks, which
    // it does not leave.
    QSet<TFolderId> m_visited;
    std::uint64_t m_device = 0;
    bool m_open = false;
    bool m_abandoned = false;
    bool m_searching = false;
    // The path line says that the last search found nothing.
    bool m_noCodecFoundShown = false;
};

#pragma once

#include "TCodecStatus.h"
#include "TColor.h"
#include "TFormCodec.h"
#include "TLameOptionSets.h"
#include "TMainSettings.h"
#include "TUpdateCheck.h"

#include <QString>
#include <QStringList>

// The labels of the main window that the transcoding control writes.
enum class TLabel
{
    Audio,
    Destination,
    Version,
    BitRate,
    LameVersion
};

// The menu items whose enabled state or tick the transcoding control sets.
enum class TMenuItem
{
    Exit1,
    LameHelpShow1,
    mnuSaveTo,
    Savetosourcedirectory1,
    mnuCustomSettings,
    standardoptions1,
    cs1,
    cs2,
    cs3,
    cs4,
    cs5,
    fs1,
    fs2,
    fs3,
    fs4,
    fs5,
    Stopcurrentprocesses1,
    Verifyonly1,
    Help1,
    CopyErrorListtoClipboard1,
    Alwaysontop1,
    CheckUpdates,
    Checkcodecpaths1,
    mnuUpdateOnly,
    mnuShowRunRecord,
};
inline constexpr int MenuItemCount = int(TMenuItem::mnuShowRunRecord) + 1;

// The viewer of LAME's long help text.
class ILameHelpView
{
public:
    virtual ~ILameHelpView() = default;
    // Shows the lines under the caption, without making the viewer modal.
    virtual void showLameHelp(const QString& caption, const QStringList& lines) = 0;
};

// What the main window logic (TForm1) needs of whatever shows it: the desktop widgets, a
// console front end, or a test's recording fake. Every call says what the user is to see;
// none hands out a widget. The queue, ticks and flags live in TForm1; the view only shows them.
// The smaller views of single concerns are part of it.
class IMainView : public ICodecLocatorHost,
                  public ICodecStatusView,
                  public ILameHelpView,
                  public ILameOptionsView,
                  public IOptionsTableView,
                  public ISaveFolderView,
                  public IUpdateView
{
public:
    virtual ~IMainView() = default;

    // The "Cue List": the queue, first entry first; an entry leaves it from where it stands.
    virtual void appendQueueEntry(const QString& path) = 0;
    virtual void removeQueueEntry(qsizetype index) = 0;
    virtual void clearQueue() = 0;

    // The "Error List".
    virtual void appendError(const QString& line) = 0;
    virtual void clearErrors() = 0;

    // The "Tag List": replaces what it shows.
    virtual void showTags(const QStringList& lines) = 0;

    virtual void setLabelText(TLabel label, const QString& text) = 0;
    virtual void setDestinationColor(TColor color) = 0;
    // Width of the destination label and of a text in its font, in the same unit.
    virtual int destinationWidth() const = 0;
    virtual int destinationTextWidth(const QString& text) const = 0;

    // The progress bar, 0..100, and its bar colour.
    virtual void setProgress(int percent) = 0;
    virtual void setProgressColor(TColor color) = 0;

    virtual void setItemEnabled(TMenuItem item, bool enabled) = 0;
    virtual void setItemTicked(TMenuItem item, bool ticked) = 0;
    virtual void setHintEnabled(bool enabled) = 0;

    virtual void repaint() = 0;
    // Runs the user's pending commands, drops and redraws; called often while a tool runs.
    virtual void processEvents() = 0;
    virtual void setApplicationTitle(const QString& title) = 0;
    // Brings the window to the front; restore also brings it back when minimised.
    virtual void bringToFront(bool restore) = 0;
    // A modal message the user must acknowledge.
    virtual void showMessage(const QString& text) = 0;
    // Asks the window to close; the close goes through TForm1::FormCloseQuery.
    virtual void closeWindow() = 0;
};

#pragma once

#include "IRunView.h"
#include "TCodecStatus.h"
#include "TColor.h"
#include "TFormCodec.h"
#include "TLameOptionSets.h"
#include "TMainSettings.h"
#include "TUpdateCheck.h"

#include <QString>
#include <QStringList>

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
};
inline constexpr int MenuItemCount = int(TMenuItem::Checkcodecpaths1) + 1;

// The viewer of LAME's long help text.
class ILameHelpView
{
public:
    virtual ~ILameHelpView() = default;
    // Shows the lines under the caption, without making the viewer modal.
    virtual void showLameHelp(const QString& caption, const QStringList& lines) = 0;
};

// What only the desktop window has, beside what a run shows: the menu, the window's own
// look (the title, the hint, the gauge's colours, the destination label's width), the Tag
// List, and the views of the window's own commands (the codec status and locator, LAME's
// help, the option sets' items and table, the save folder dialog, the update check). Every
// call says what the user is to see; none hands out a widget. The ticks and flags live in
// TForm1; the view only shows them.
class IWindowView : public ICodecLocatorHost,
                    public ICodecStatusView,
                    public ILameHelpView,
                    public ILameOptionsView,
                    public IOptionsTableView,
                    public ISaveFolderView,
                    public IUpdateView
{
public:
    virtual ~IWindowView() = default;

    // The "Tag List": replaces what it shows.
    virtual void showTags(const QStringList& lines) = 0;

    virtual void setDestinationColor(TColor color) = 0;
    // Width of the destination label and of a text in its font, in the same unit.
    virtual int destinationWidth() const = 0;
    virtual int destinationTextWidth(const QString& text) const = 0;

    // The progress bar's colour.
    virtual void setProgressColor(TColor color) = 0;

    virtual void setItemEnabled(TMenuItem item, bool enabled) = 0;
    virtual void setItemTicked(TMenuItem item, bool ticked) = 0;
    virtual void setHintEnabled(bool enabled) = 0;

    virtual void repaint() = 0;
    virtual void setApplicationTitle(const QString& title) = 0;
    // Brings the window to the front; restore also brings it back when minimised.
    virtual void bringToFront(bool restore) = 0;
    // Asks the window to close; the close goes through TForm1::FormCloseQuery.
    virtual void closeWindow() = 0;
};

// The desktop window's whole view: what a run shows and what only the window has. The part a
// run shows is a virtual base, so that a view may take it from a class of its own.
class IMainView : public virtual IRunView, public IWindowView
{};

#pragma once

#include "IMainView.h"
#include "TRunDisplay.h"
#include "TUrlOpener.h"
#include "TWindowCommands.h"

#include <QWidget>
#include <array>
#include <memory>

class QLabel;
class QProgressBar;
class TClickLabel;
class TCodecLocatorDialog;
class TDataPanel;
class TForm1;
class TLameHelpDialog;
class TMainMenu;

// The desktop main window: the compact status area, the popup menu and the data panel with
// the queue, the error list and the tags. It shows what its TForm1 tells it and hands the
// user's commands, drops and close requests to it.
class TMainWindow : public QWidget,
                    public IMainView,
                    public IQueueRowsView,
                    public IWindowCommandsView
{
public:
    static constexpr int CompactWidth = 462;
    static constexpr int CompactHeight = 75;
    // The stored width counts the frame of the window it was written for.
    static constexpr int StoredFrameWidth = TMainSettings::DefaultWidth - CompactWidth;

    TMainWindow();
    ~TMainWindow() override;

    // The logic the commands, drops and close requests go to; until then the window only shows.
    void attach(TForm1& form);
    // After the settings are loaded: the width, place and tab they hold.
    void applySettings();
    // Before they are saved: the width, place, tab and data panel height as they are now.
    void keepSettings();
    TWindowCommands& commands() { return *m_commands; }
    // The title the task bar shows for the program, e.g. the running stage's progress.
    const QString& applicationTitle() const { return m_applicationTitle; }
    // A close request from outside (a stop signal, the session's end), when nobody may be there
    // to answer a box: every box and dialog open ends unanswered, and so does every one that
    // opens while the window closes; the close itself goes the way of every other.
    void closeFromOutside();

    void appendQueueEntry(const QString& path) override;
    void removeQueueEntry(qsizetype index) override;
    void setQueueEntryText(qsizetype index, const QString& text) override;
    void clearQueue() override;
    void appendError(const QString& line) override;
    void clearErrors() override;
    void showTags(const QStringList& lines) override;
    void setLabelText(TLabel label, const QString& text) override;
    void setDestinationColor(TColor color) override;
    int destinationWidth() const override;
    int destinationTextWidth(const QString& text) const override;
    void setProgress(int percent) override;
    void setProgressColor(TColor color) override;
    void setItemEnabled(TMenuItem item, bool enabled) override;
    void setItemTicked(TMenuItem item, bool ticked) override;
    void setHintEnabled(bool enabled) override;
    void repaint() override;
    void processEvents() override;
    void setApplicationTitle(const QString& title) override;
    void bringToFront(bool restore) override;
    void showMessage(const QString& text) override;
    void closeWindow() override;
    void showCodecStatus(const TCodecStatus& status) override;
    void showLameHelp(const QString& caption, const QStringList& lines) override;
    void setPresetTicked(int index, bool ticked) override;
    void setPresetCaption(int index, const QString& caption) override;
    void setPresetVisible(int index, bool visible) override;
    void showLameSetting(const QString& text, const QString& hint) override;
    TTableEdit editOptionsTable(TCustomOptionsTable& table) override;
    void showWarning(const QString& text) override;
    std::optional<QString> askSaveFolder(const QString& title, const QString& startFolder) override;
    void setSaveToCaption(const QString& caption) override;
    void showDestinationWarning(const QString& text) override;
    void clearDestination() override;
    void setVersionCheckVisible(bool visible) override;
    void setBusyCursor(bool busy) override;
    QString windowCaption() const override;
    void setWindowCaption(const QString& caption) override;
    void showUpdateMessage(const QString& text, const QString& title) override;
    bool runCodecLocator(TFormCodec& locator) override;

    QStringList errorLines() const override;
    void setClipboardText(const QString& text) override;
    void openUrl(const QUrl& url, std::function<void(const QString&)> failed) override;
    void setStayOnTop(bool onTop) override;
    void setWebLink(const QString& address) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, const QString& text, const QRect& geometry);
    void buildStatusArea();
    void buildCodecLabels();
    void buildLinks();
    void layOutBottomRow();
    void runCommand(TMenuItem item);
    void chooseJobs(int jobs);
    void takeDrop(const QStringList& paths);
    void showDataPanel(bool show);
    static void endOpenDialogs();
    QLabel& label(TLabel which) const { return *m_labels[size_t(which)]; }

    TForm1* m_form = nullptr;
    std::array<QLabel*, 5> m_labels{};
    // LAME, APE, FLAC.
    std::array<QLabel*, 3> m_codecLabels{};
    QLabel* m_codecNotFound = nullptr;
    QLabel* m_versionCheck = nullptr;
    TClickLabel* m_hint = nullptr;
    TClickLabel* m_web = nullptr;
    QProgressBar* m_gauge = nullptr;
    TDataPanel* m_panel = nullptr;
    std::unique_ptr<TMainMenu> m_menu;
    TLameHelpDialog* m_help = nullptr;
    std::unique_ptr<TWindowCommands> m_commands;
    std::unique_ptr<TRunDisplay> m_runDisplay;
    // After the commands: it goes first, so that no failure reaches them when they are gone.
    TUrlOpener m_opener;
    TCodecLocatorDialog* m_codecLocator = nullptr;
    QString m_applicationTitle;
    bool m_closingFromOutside = false;
    bool m_closed = false;
};

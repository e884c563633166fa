#pragma once

#include "IMainView.h"
#include "TRunDisplay.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

// A view of runs alone, as a terminal is, that records what the user would see. OnProcessEvents
// stands for the user acting while the window pumps its events.
class TFakeRunView : public virtual IRunView
{
public:
    void appendQueueEntry(const QString& path) override;
    void removeQueueEntry(qsizetype index) override;
    void clearQueue() override;
    void appendError(const QString& line) override;
    void clearErrors() override;
    void setLabelText(TLabel label, const QString& text) override;
    void setProgress(int percent) override;
    void processEvents() override;
    void showMessage(const QString& text) override;

    const QString& label(TLabel which) const { return Labels[size_t(which)]; }

    // What is shown now.
    QStringList Queue;
    // What each row of the Cue List shows: its path, or what a run of several jobs wrote.
    QStringList QueueRows;
    QStringList Errors;
    std::array<QString, 5> Labels;
    int Progress = 0;
    // What happened, in order.
    QStringList QueueLog;
    QStringList Messages;

    std::function<void()> OnProcessEvents;
    // Stands for what happens while a box or dialog is open, before it is answered (the codec
    // locator has OnRunCodecLocator).
    std::function<void()> OnModal;

protected:
    void Modal() const;
};

// A main view that records what the user would see, for tests and benchmarks. Text widths
// are measured by TextWidth (one unit per character unless a test sets its own).
class TFakeMainView : public TFakeRunView, public IMainView, public IQueueRowsView
{
public:
    void setQueueEntryText(qsizetype index, const QString& text) override;
    void showTags(const QStringList& lines) override;
    void setDestinationColor(TColor color) override;
    int destinationWidth() const override;
    int destinationTextWidth(const QString& text) const override;
    void setProgressColor(TColor color) override;
    void setItemEnabled(TMenuItem item, bool enabled) override;
    void setItemTicked(TMenuItem item, bool ticked) override;
    void setHintEnabled(bool enabled) override;
    void repaint() override;
    void setApplicationTitle(const QString& title) override;
    void bringToFront(bool restore) override;
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
    QString windowCaption() const override { return WindowCaption; }
    void setWindowCaption(const QString& caption) override;
    void showUpdateMessage(const QString& text, const QString& title) override;
    bool runCodecLocator(TFormCodec& locator) override;

    bool enabled(TMenuItem item) const { return Enabled[size_t(item)]; }
    bool ticked(TMenuItem item) const { return Ticked[size_t(item)]; }

    // What is shown now.
    QStringList Tags;
    TColor DestinationColor{-1, -1, -1};
    std::array<bool, MenuItemCount> Enabled{};
    std::array<bool, MenuItemCount> Ticked{};
    bool HintEnabled = true;
    // What happened, in order.
    QList<TColor> ProgressColors;
    QStringList Titles;
    int Repaints = 0;
    int Raises = 0;
    int Restores = 0;
    int CloseRequests = 0;
    QList<TCodecStatus> CodecStatuses;
    QString HelpCaption;
    QStringList HelpLines;
    QString BitRateHint;
    // The "Save to:" item and dialog: the answer the user gives, what was asked and shown.
    std::optional<QString> SaveFolderAnswer;
    QStringList SaveFolderQuestions;
    QString SaveToCaption;
    QString WindowCaption;
    QStringList UpdateMessages;
    std::array<QString, 5> PresetCaptions;
    std::array<bool, 10> PresetVisible{};
    // The user's edits in the custom options table and how the table is left.
    std::function<TTableEdit(TCustomOptionsTable&)> OnEditOptionsTable;
    // The codec locator as the user works it; how it ends (true: OK).
    std::function<bool(TFormCodec&)> OnRunCodecLocator;

    int DestinationWidth = 10000;
    std::function<int(const QString&)> TextWidth = [](const QString& text) {
        return int(text.size());
    };
    bool VersionCheckVisible = false;
};

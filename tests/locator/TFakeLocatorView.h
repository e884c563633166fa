#pragma once

#include "TFormCodec.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

// A codec locator dialog that records what the user would see, and answers its questions as
// a test tells it. It shows the locator given from construction on.
class TFakeLocatorView : public ICodecLocatorView
{
public:
    explicit TFakeLocatorView(TFormCodec& locator);

    void setCaption(const QString& caption) override { Caption = caption; }
    void setEntryText(TCodecRow row, const QString& text) override;
    void setEntryItems(TCodecRow row, const QStringList& items) override;
    void setLabelFound(TLocatorLabel label, bool found) override;
    void setLineText(TLocatorLine line, const QString& text) override;
    void setPathLineRed(bool red) override { PathLineRed = red; }
    void setStopShown(bool shown) override { StopShown = shown; }
    void setSearchEnabled(bool enabled) override { SearchEnabled = enabled; }
    void setWebEnabled(bool enabled) override { WebEnabled = enabled; }
    void setHeight(int height) override { Height = height; }
    void setBusyCursor(bool busy) override { Busy = busy; }
    void repaint() override { ++Repaints; }
    void processEvents() override;
    std::optional<QString> askToolFile(TCodecRow row, const TToolFileQuestion& question) override;
    void openWebPage(const QString& url) override { WebPages << url; }
    bool askWarning(TWarnQuestion question) override;
    void closeDialog() override;
    void abandonDialog() override { Abandoned = true; }

    // The user types a text into the entry, or chooses it from the list.
    void Type(TCodecRow row, const QString& text);

    const QString& entry(TCodecRow row) const { return EntryTexts[size_t(row)]; }
    const QStringList& items(TCodecRow row) const { return EntryItems[size_t(row)]; }
    bool found(TLocatorLabel label) const { return Found[size_t(label)]; }
    const QString& line(TLocatorLine line) const { return Lines[size_t(line)]; }

    // What is shown now.
    QString Caption;
    std::array<QString, 3> EntryTexts;
    std::array<QStringList, 3> EntryItems;
    std::array<bool, 4> Found{};
    std::array<QString, 3> Lines;
    bool PathLineRed = false;
    bool StopShown = false;
    bool SearchEnabled = true;
    bool WebEnabled = false;
    int Height = 0;
    bool Busy = false;
    // What happened, in order.
    int Repaints = 0;
    QStringList PathLineLog;
    QList<TWarnQuestion> Warnings;
    QList<TToolFileQuestion> FileQuestions;
    QStringList WebPages;
    bool Closed = false;
    bool Abandoned = false;

    // The user's answers: to the warning window, one per question in order ("No" when none is
    // left), and to the open dialog.
    QList<bool> WarningAnswers;
    std::optional<QString> ChosenFile;
    // The user acting while the locator pumps its events.
    std::function<void()> OnProcessEvents;

private:
    TFormCodec& m_locator;
};

#pragma once

#include "TFormCodec.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class TFormWarn;

// The codec locator's dialog (F10): a row per tool family with its label, its entry and the
// browse, search, web and reset buttons; OK, Stop search and Cancel below, the counts of
// what a search found and, while one runs, the path line. Every user action goes to the
// TFormCodec, which decides what the dialog shows.
class TCodecLocatorDialog : public QDialog, public ICodecLocatorView
{
public:
    TCodecLocatorDialog(QWidget* parent, TFormCodec& locator);

    // Shows the locator modally at origin; true when it closed with OK.
    bool run(const QPoint& origin);

    void setCaption(const QString& caption) override;
    void setEntryText(TCodecRow row, const QString& text) override;
    void setEntryItems(TCodecRow row, const QStringList& items) override;
    void setLabelFound(TLocatorLabel label, bool found) override;
    void setLineText(TLocatorLine line, const QString& text) override;
    void setPathLineRed(bool red) override;
    void setStopShown(bool shown) override;
    void setSearchEnabled(bool enabled) override;
    void setWebEnabled(bool enabled) override;
    void setHeight(int height) override;
    void setBusyCursor(bool busy) override;
    void repaint() override;
    void processEvents() override;
    std::optional<QString> askToolFile(TCodecRow row, const TToolFileQuestion& question) override;
    void openWebPage(const QString& url) override;
    bool askWarning(TWarnQuestion question) override;
    void closeDialog() override;
    void abandonDialog() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Whatever would reject the dialog is a close request instead.
    void reject() override;

private:
    struct TRowWidgets
    {
        QComboBox* Entry = nullptr;
        QToolButton* Find = nullptr;
        QToolButton* Web = nullptr;
    };
    void buildRow(TCodecRow row, const QString& family, int top);
    void entryChanged(TCodecRow row, const QString& text);
    QLabel* addLabel(const QString& name, const QString& text, const QRect& geometry);
    QPushButton* addButton(const char* name, const QString& caption, const QString& hint,
                           const QRect& geometry);
    void buildBottom();
    TRowWidgets& widgets(TCodecRow row) { return m_rows[size_t(row)]; }

    TFormCodec& m_locator;
    std::array<TRowWidgets, 3> m_rows;
    // LAME, APE, FLAC, META.
    std::array<QLabel*, 4> m_labels{};
    // The count of tool files, of metaflac beside them, and the path line.
    std::array<QLabel*, 3> m_lines{};
    QPushButton* m_save = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_cancel = nullptr;
    TFormWarn* m_warn = nullptr;
    bool m_busy = false;
};

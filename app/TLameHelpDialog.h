#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

// LAME's long help, beside the main window: not modal, read-only, made once and shown again
// at every show.
class TLameHelpDialog : public QDialog
{
public:
    explicit TLameHelpDialog(QWidget* parent);
    void showLines(const QString& caption, const QStringList& lines);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPlainTextEdit* m_text;
    QPushButton* m_close;
};

#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

// LAME's long help, beside the main window: not modal, read-only.
class TLameHelpDialog : public QDialog
{
public:
    explicit TLameHelpDialog(QWidget* parent);
    void showLines(const QString& caption, const QStringList& lines);

private:
    QPlainTextEdit* m_text;
};

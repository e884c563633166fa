#include "TLameHelpDialog.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TLameHelpDialog::TLameHelpDialog(QWidget* parent)
    : QDialog(parent), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("HelpForm"));
    m_text->setObjectName(QStringLiteral("memLameHelp"));
    m_text->setReadOnly(true);
    // The help is laid out in columns of a terminal.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    (new QVBoxLayout(this))->addWidget(m_text);
    resize(640, 480);
}

void TLameHelpDialog::showLines(const QString& caption, const QStringList& lines)
{
    setWindowTitle(caption);
    m_text->setPlainText(lines.join(u'\n'));
    show();
    raise();
}

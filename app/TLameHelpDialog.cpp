#include "TLameHelpDialog.h"

#include "WidgetColors.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>

namespace {

constexpr int MinWidth = 460;
constexpr int MaxWidth = 480;
constexpr int MinHeight = 320;
constexpr int Margin = 8;
constexpr int TextWidth = 420;
// What the window's height leaves for the text.
constexpr int TextHeightLoss = 42;

} // namespace

TLameHelpDialog::TLameHelpDialog(QWidget* parent)
    : QDialog(parent), m_text(new QPlainTextEdit(this)), m_close(new QPushButton(this))
{
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Lame Help"));
    SetColor(*this, QPalette::Window, WindowColor);
    setAutoFillBackground(true);
    m_text->setObjectName(QStringLiteral("MemoLame"));
    m_text->setReadOnly(true);
    // The help is laid out in columns of a terminal.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_close->setObjectName(QStringLiteral("OwnerDrawButton1"));
    m_close->setText(QStringLiteral("Close"));
    connect(m_close, &QPushButton::clicked, this, &QDialog::hide);
    setMinimumSize(MinWidth, MinHeight);
    setMaximumWidth(MaxWidth);
    resize(MaxWidth, 480);
}

void TLameHelpDialog::showLines(const QString& caption, const QStringList& lines)
{
    setWindowTitle(caption);
    m_text->setPlainText(lines.join(u'\n'));
    show();
    raise();
}

// The text keeps its width and follows the window's height; Close stands to its right.
void TLameHelpDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_text->setGeometry(Margin, Margin, TextWidth, height() - TextHeightLoss);
    const int left = Margin + TextWidth + 4;
    m_close->setGeometry(left, Margin, width() - left - 4, 24);
}

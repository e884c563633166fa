#include "TCodecLocatorDialog.h"

#include "LocalNames.h"
#include "TCodecStatus.h"
#include "TFormWarn.h"
#include "WidgetColors.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

namespace {

// Columns of a row: label, META label, entry, and the four buttons.
constexpr int LabelLeft = 8;
constexpr int MetaLeft = 48;
constexpr int EntryLeft = 92;
constexpr int EntryWidth = 280;
constexpr int ButtonWidth = 52;
constexpr int RowHeight = 24;
constexpr int BottomTop = 116;

const std::array<QString, 3> Families = {QStringLiteral("LAME"), QStringLiteral("APE"),
                                         QStringLiteral("FLAC")};

} // namespace

TCodecLocatorDialog::TCodecLocatorDialog(QWidget* parent, TFormCodec& locator)
    : QDialog(parent), m_locator(locator)
{
    setObjectName(QStringLiteral("TFormCodec"));
    setFixedWidth(TFormCodec::DialogWidth);
    setFixedHeight(TFormCodec::IdleHeight);
    for (TCodecRow row : CodecRows)
        buildRow(row, Families[size_t(row)], 10 + int(row) * 34);
    m_labels[size_t(TLocatorLabel::Meta)] =
        addLabel(QStringLiteral("lblMETA"), QStringLiteral("META"), {MetaLeft, 78, 40, RowHeight});
    buildBottom();
    m_warn = new TFormWarn(this);
}

void TCodecLocatorDialog::buildRow(TCodecRow row, const QString& family, int top)
{
    m_labels[size_t(row)] = addLabel(QStringLiteral("lbl") + family, family,
                                     {LabelLeft, top, MetaLeft - LabelLeft, RowHeight});
    QComboBox* entry = new QComboBox(this);
    widgets(row).Entry = entry;
    entry->setObjectName(QStringLiteral("cbx") + family);
    entry->setEditable(true);
    entry->setMaxVisibleItems(12);
    entry->setInsertPolicy(QComboBox::NoInsert);
    entry->setGeometry(EntryLeft, top, EntryWidth, RowHeight);
    // Only the user's own edits and choices are changes; what the locator puts in is not.
    connect(entry->lineEdit(), &QLineEdit::textEdited, this,
            [this, row](const QString& text) { entryChanged(row, text); });
    connect(entry, &QComboBox::activated, this, [this, row, entry](int index) {
        entryChanged(row, entry->itemData(index).toString());
    });
    int left = EntryLeft + EntryWidth + 6;
    const auto button = [&](const char* kind, const char* caption, const char* hint) {
        auto* made = new QToolButton(this);
        made->setObjectName(QStringLiteral("sbt") + family + QString::fromLatin1(kind));
        made->setText(QString::fromLatin1(caption));
        made->setToolTip(QString::fromLatin1(hint));
        made->setGeometry(left, top, ButtonWidth, RowHeight);
        left += ButtonWidth + 4;
        return made;
    };
    connect(button("browse", "Browse", "browse to codec location"), &QToolButton::clicked, this,
            [this, row] { m_locator.sbtLAMEbrowseClick(row); });
    widgets(row).Find = button("find", "Search", "search on local hard drives");
    connect(widgets(row).Find, &QToolButton::clicked, this,
            [this, row] { m_locator.sbtLAMEfindClick(row); });
    widgets(row).Web = button("web", "Web", "search on internet");
    connect(widgets(row).Web, &QToolButton::clicked, this,
            [this, row] { m_locator.sbtLAMEwebClick(row); });
    connect(button("cancel", "Reset", "reset"), &QToolButton::clicked, this,
            [this, row] { m_locator.sbtLAMEcancelClick(row); });
}

void TCodecLocatorDialog::entryChanged(TCodecRow row, const QString& text)
{
    widgets(row).Entry->setToolTip(DisplayPath(text));
    m_locator.cbxLAMEChange(row, text);
}

QLabel* TCodecLocatorDialog::addLabel(const QString& name, const QString& text,
                                      const QRect& geometry)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QPushButton* TCodecLocatorDialog::addButton(const char* name, const QString& caption,
                                            const QString& hint, const QRect& geometry)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setGeometry(geometry);
    // Enter in an entry never closes the dialog.
    button->setAutoDefault(false);
    return button;
}

void TCodecLocatorDialog::buildBottom()
{
    m_save = addButton("odbtnSave", QStringLiteral("OK"),
                       QStringLiteral("saves codec locations and closes this window"),
                       {LabelLeft, BottomTop, 90, 28});
    connect(m_save, &QPushButton::clicked, this, [this] { m_locator.odbtnSaveClick(); });
    m_cancel = addButton("odbtnCancel", QStringLiteral("Cancel"),
                         QStringLiteral("resets to original locations"),
                         {LabelLeft + 96, BottomTop, 90, 28});
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_locator.odbtnCancelClick(); });
    m_stop = addButton("odbtnStop", QStringLiteral("Stop search"),
                       QStringLiteral("stops the search"), {LabelLeft, BottomTop, 186, 28});
    connect(m_stop, &QPushButton::clicked, this, [this] { m_locator.odbtnStopClick(); });
    const int countLeft = EntryLeft + 120;
    m_lines[size_t(TLocatorLine::NrOfCodecs)] =
        addLabel(QStringLiteral("lblNrOfCodecs"), {}, {countLeft, BottomTop - 4, 300, 18});
    m_lines[size_t(TLocatorLine::NrOfMeta)] =
        addLabel(QStringLiteral("lblNrOfMeta"), {}, {countLeft, BottomTop + 14, 300, 18});
    m_lines[size_t(TLocatorLine::PathOfAudioCodecs)] =
        addLabel(QStringLiteral("lblPathOfAudioCodecs"), {},
                 {LabelLeft, TFormCodec::IdleHeight + 2, TFormCodec::DialogWidth - 16, 18});
}

bool TCodecLocatorDialog::run(const QPoint& origin)
{
    m_locator.SetView(*this);
    move(origin);
    m_locator.FormActivate();
    return exec() == QDialog::Accepted;
}

void TCodecLocatorDialog::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

// The entry shows the end of a long path, the tool's name; its hint shows all of it.
void TCodecLocatorDialog::setEntryText(TCodecRow row, const QString& text)
{
    QComboBox& entry = *widgets(row).Entry;
    entry.setEditText(DisplayPath(text));
    entry.setToolTip(entry.currentText());
}

// An item keeps its path as it is; it shows as a person may be shown it. The list is as wide
// as its longest path.
void TCodecLocatorDialog::setEntryItems(TCodecRow row, const QStringList& items)
{
    QComboBox& entry = *widgets(row).Entry;
    entry.clear();
    for (const QString& item : items)
        entry.addItem(DisplayPath(item), item);
    entry.view()->setMinimumWidth(entry.view()->sizeHintForColumn(0) +
                                  2 * entry.view()->frameWidth());
}

void TCodecLocatorDialog::setLabelFound(TLocatorLabel label, bool found)
{
    SetColor(*m_labels[size_t(label)], QPalette::WindowText, found ? FoundColor : NotUsableColor);
}

void TCodecLocatorDialog::setLineText(TLocatorLine line, const QString& text)
{
    m_lines[size_t(line)]->setText(DisplayPath(text));
}

void TCodecLocatorDialog::setPathLineRed(bool red)
{
    SetColor(*m_lines[size_t(TLocatorLine::PathOfAudioCodecs)], QPalette::WindowText,
             red ? NotUsableColor : TColor{});
}

void TCodecLocatorDialog::setStopShown(bool shown)
{
    m_stop->setVisible(shown);
    m_save->setVisible(!shown);
    m_cancel->setVisible(!shown);
}

void TCodecLocatorDialog::setSearchEnabled(bool enabled)
{
    for (TRowWidgets& row : m_rows)
        row.Find->setEnabled(enabled);
}

void TCodecLocatorDialog::setWebEnabled(bool enabled)
{
    for (TRowWidgets& row : m_rows)
        row.Web->setEnabled(enabled);
}

void TCodecLocatorDialog::setHeight(int height)
{
    setFixedHeight(height);
}

void TCodecLocatorDialog::setBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TCodecLocatorDialog::repaint()
{
    QWidget::repaint();
}

void TCodecLocatorDialog::processEvents()
{
    QCoreApplication::processEvents();
}

std::optional<QString> TCodecLocatorDialog::askToolFile(TCodecRow row,
                                                        const TToolFileQuestion& question)
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("odlg") + Families[size_t(row)]);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(question.Filters);
    if (!question.StartFolder.isEmpty())
        dialog.setDirectory(question.StartFolder);
    dialog.selectFile(question.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void TCodecLocatorDialog::openWebPage(const QString& url)
{
    QDesktopServices::openUrl(QUrl(url));
}

bool TCodecLocatorDialog::askWarning(TWarnQuestion question)
{
    return m_warn->ask(question, TFormCodec::WarnOrigin(pos()));
}

void TCodecLocatorDialog::closeDialog()
{
    close();
}

// A question open above the locator (the warning window, an open dialog) ends unanswered.
void TCodecLocatorDialog::abandonDialog()
{
    for (QDialog* question : findChildren<QDialog*>()) {
        if (question->isVisible())
            question->reject();
    }
    done(QDialog::Rejected);
}

void TCodecLocatorDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_locator.FormKeyDown(Qt::Key_Escape);
        return;
    }
    QDialog::keyPressEvent(event);
}

// Every close, the close box's too, asks the locator; a dialog that closes ends with OK.
void TCodecLocatorDialog::closeEvent(QCloseEvent* event)
{
    if (!m_locator.FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Accepted);
}

void TCodecLocatorDialog::reject()
{
    close();
}

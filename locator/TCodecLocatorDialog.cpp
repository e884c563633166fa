#include "TCodecLocatorDialog.h"

#include "LocalNames.h"
#include "TCodecStatus.h"
#include "TFormWarn.h"

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

void SetTextColor(QWidget& widget, TColor color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, QColor(color.Red, color.Green, color.Blue));
    widget.setPalette(palette);
}

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
    TRowWidgets& row_ = widgets(row);
    row_.Entry = new QComboBox(this);
    row_.Entry->setObjectName(QStringLiteral("cbx") + family);
    row_.Entry->setEditable(true);
    row_.Entry->setMaxVisibleItems(12);
    row_.Entry->setInsertPolicy(QComboBox::NoInsert);
    row_.Entry->setGeometry(EntryLeft, top, EntryWidth, RowHeight);
    // Only the user's own edits and choices are changes; what the locator puts in is not.
    connect(row_.Entry->lineEdit(), &QLineEdit::textEdited, this,
            [this, row](const QString& text) { m_locator.cbxLAMEChange(row, text); });
    connect(row_.Entry, &QComboBox::activated, this, [this, row](int index) {
        m_locator.cbxLAMEChange(row, widgets(row).Entry->itemData(index).toString());
    });
    int left = EntryLeft + EntryWidth + 6;
    const auto next = [&left, top] {
        const QRect geometry(left, top, ButtonWidth, RowHeight);
        left += ButtonWidth + 4;
        return geometry;
    };
    connect(addToolButton(QStringLiteral("sbt") + family + QStringLiteral("browse"),
                          QStringLiteral("Browse"), QStringLiteral("browse to codec location"),
                          next()),
            &QToolButton::clicked, this, [this, row] { m_locator.sbtLAMEbrowseClick(row); });
    row_.Find = addToolButton(QStringLiteral("sbt") + family + QStringLiteral("find"),
                              QStringLiteral("Search"),
                              QStringLiteral("search on local hard drives"), next());
    connect(row_.Find, &QToolButton::clicked, this,
            [this, row] { m_locator.sbtLAMEfindClick(row); });
    row_.Web = addToolButton(QStringLiteral("sbt") + family + QStringLiteral("web"),
                             QStringLiteral("Web"), QStringLiteral("search on internet"), next());
    connect(row_.Web, &QToolButton::clicked, this, [this, row] { m_locator.sbtLAMEwebClick(row); });
    connect(addToolButton(QStringLiteral("sbt") + family + QStringLiteral("cancel"),
                          QStringLiteral("Reset"), QStringLiteral("reset"), next()),
            &QToolButton::clicked, this, [this, row] { m_locator.sbtLAMEcancelClick(row); });
}

QToolButton* TCodecLocatorDialog::addToolButton(const QString& name, const QString& caption,
                                                const QString& hint, const QRect& geometry)
{
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setGeometry(geometry);
    return button;
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

void TCodecLocatorDialog::setEntryText(TCodecRow row, const QString& text)
{
    widgets(row).Entry->setEditText(DisplayPath(text));
}

// An item keeps its path as it is; it shows as a person may be shown it.
void TCodecLocatorDialog::setEntryItems(TCodecRow row, const QStringList& items)
{
    QComboBox& entry = *widgets(row).Entry;
    entry.clear();
    for (const QString& item : items)
        entry.addItem(DisplayPath(item), item);
}

void TCodecLocatorDialog::setLabelFound(TLocatorLabel label, bool found)
{
    SetTextColor(*m_labels[size_t(label)], found ? FoundColor : NotUsableColor);
}

void TCodecLocatorDialog::setLineText(TLocatorLine line, const QString& text)
{
    m_lines[size_t(line)]->setText(DisplayPath(text));
}

void TCodecLocatorDialog::setPathLineRed(bool red)
{
    SetTextColor(*m_lines[size_t(TLocatorLine::PathOfAudioCodecs)],
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

void TCodecLocatorDialog::abandonDialog()
{
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

#include "TOptionsTableDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int NameColumn = 0;
constexpr int OptionsColumn = 1;

} // namespace

TOptionsTableDialog::TOptionsTableDialog(QWidget* parent, TCustomOptionsTable& table)
    : QDialog(parent), m_table(table),
      m_grid(new QTableWidget(TCustomOptionsTable::RowCount, 2, this)), m_buttons(new QHBoxLayout)
{
    setObjectName(QStringLiteral("TFormLameOptionsTable"));
    setWindowTitle(QStringLiteral("Quarlow - Lame options - Custom Names & Strings"));
    setToolTip(QStringLiteral("For help with Lame Encoding strings: press Esc, then F5 and "
                              "select the Lame Help tab"));
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Lame encoding string")});
    // Row numbers, names and option strings.
    m_grid->verticalHeader()->setFixedWidth(28);
    m_grid->setColumnWidth(NameColumn, 64);
    m_grid->setColumnWidth(OptionsColumn, 480);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(m_buttons);
    addButton(QStringLiteral("OK"), QStringLiteral("Saves changes and returns to main window"),
              [this] { finish(TTableExit::Ok); });
    addButton(QStringLiteral("Undo"), QStringLiteral("restores original values"), [this] {
        m_table.RestoreCells();
        fill();
    });
    addButton(QStringLiteral("Delete"), QStringLiteral("Deletes the selected row from the table"),
              [this] {
                  m_table.DeleteRow(m_grid->currentRow());
                  fill();
              });
    connect(m_grid, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { takeCell(item); });
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
        addKey(key, TTableExit::Ok);
    addKey(QKeySequence(Qt::Key_Escape), TTableExit::Escape);
    // A cell editor keeps Esc to itself and only gives up its editing.
    connect(m_grid->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                if (hint == QAbstractItemDelegate::RevertModelCache)
                    finish(TTableExit::Escape);
            });
    fill();
}

// The window's keys come before the cell editor's.
void TOptionsTableDialog::addKey(const QKeySequence& key, TTableExit exit)
{
    auto* shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, this, [this, exit] { finish(exit); });
}

// OK keeps the text of a cell still being edited; Esc drops it.
void TOptionsTableDialog::finish(TTableExit exit)
{
    if (exit == TTableExit::Ok)
        commitOpenEditor();
    m_exit = exit;
    done(exit == TTableExit::Ok ? Accepted : Rejected);
}

void TOptionsTableDialog::commitOpenEditor()
{
    QWidget* editor = QApplication::focusWidget();
    if (editor && editor != m_grid && m_grid->isAncestorOf(editor))
        emit m_grid->itemDelegate()->commitData(editor);
}

void TOptionsTableDialog::addButton(const QString& caption, const QString& hint,
                                    const std::function<void()>& click)
{
    auto* button = new QPushButton(caption, this);
    button->setToolTip(hint);
    // Enter means OK, the first button, and never a button that has the focus.
    button->setAutoDefault(false);
    button->setDefault(caption == u"OK");
    connect(button, &QPushButton::clicked, this, click);
    m_buttons->addWidget(button);
}

void TOptionsTableDialog::fill()
{
    m_filling = true;
    for (int row = 0; row < TCustomOptionsTable::RowCount; ++row) {
        const TOptionRow content = m_table.Row(row);
        m_grid->setItem(row, NameColumn, new QTableWidgetItem(content.Name));
        m_grid->setItem(row, OptionsColumn, new QTableWidgetItem(content.Options));
    }
    m_filling = false;
}

void TOptionsTableDialog::takeCell(QTableWidgetItem* item)
{
    if (m_filling)
        return;
    TOptionRow content = m_table.Row(item->row());
    (item->column() == NameColumn ? content.Name : content.Options) = item->text();
    m_table.SetRow(item->row(), content);
}

QList<int> TOptionsTableDialog::selectedRows() const
{
    QSet<int> rows;
    for (const QModelIndex& index : m_grid->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    return rows.values();
}

TTableEdit TOptionsTableDialog::edit()
{
    m_exit = TTableExit::CloseBox;
    exec();
    return {m_exit, selectedRows()};
}

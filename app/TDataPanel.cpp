#include "TDataPanel.h"

#include "WidgetColors.h"

#include <QAction>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStringListModel>
#include <QTabBar>

namespace {

// The tabs are drawn by hand: all of one size, in the window's colour, the active one pink
// with its caption in bold.
class TDataTabBar : public QTabBar
{
public:
    static constexpr int TabWidth = 147;
    static constexpr int TabHeight = 20;

    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int) const override { return {TabWidth, TabHeight}; }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        for (int index = 0; index < count(); ++index)
            PageControlDrawTab(painter, index, tabRect(index), index == currentIndex());
    }

private:
    void PageControlDrawTab(QPainter& painter, int index, const QRect& rect, bool active) const
    {
        const TColor activeColor = ColorFromText(QStringLiteral("0x00FDACF7"));
        painter.fillRect(rect, active ? ToQColor(activeColor) : palette().color(QPalette::Window));
        QFont font = painter.font();
        font.setBold(active);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, tabText(index));
    }
};

} // namespace

TDataPanel::TDataPanel(QWidget* parent, std::function<void(QList<qsizetype>)> removeRows)
    : QTabWidget(parent), m_removeRows(std::move(removeRows))
{
    setObjectName(QStringLiteral("PageControl1"));
    setTabBar(new TDataTabBar(this));
    setTabPosition(QTabWidget::South);
    QListView* queue = addList(QStringLiteral("lbxCueList"), QStringLiteral("Cue List"));
    m_queue = qobject_cast<QStringListModel*>(queue->model());
    addRemoveCommand(*queue);
    m_tags = new QPlainTextEdit(this);
    m_tags->setObjectName(QStringLiteral("memTagsList"));
    m_tags->setReadOnly(true);
    addTab(m_tags, QStringLiteral("Tag List"));
    m_errors = qobject_cast<QStringListModel*>(
        addList(QStringLiteral("lbxErrorsList"), QStringLiteral("Error List"))->model());
}

// Delete, and the same command in the list's own context menu.
void TDataPanel::addRemoveCommand(QListView& queue)
{
    queue.setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* remove = new QAction(QStringLiteral("&Remove from the queue"), &queue);
    remove->setObjectName(QStringLiteral("RemoveQueueEntries"));
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    queue.addAction(remove);
    queue.setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(remove, &QAction::triggered, &queue, [this, &queue] {
        QList<qsizetype> rows;
        for (const QModelIndex& index : queue.selectionModel()->selectedRows())
            rows << index.row();
        m_removeRows(rows);
    });
}

QListView* TDataPanel::addList(const QString& name, const QString& caption)
{
    auto* view = new QListView(this);
    view->setObjectName(name);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height; without this the view measures each of them.
    view->setUniformItemSizes(true);
    // A long path keeps both its folder's start and its file name in sight.
    view->setTextElideMode(Qt::ElideMiddle);
    auto* model = new QStringListModel(view);
    view->setModel(model);
    addTab(view, caption);
    return view;
}

void TDataPanel::showTags(const QStringList& lines)
{
    m_tags->setPlainText(lines.join(u'\n'));
}

void TDataPanel::append(QStringListModel& model, const QString& line)
{
    const int row = model.rowCount();
    model.insertRows(row, 1);
    model.setData(model.index(row), line);
}

void TDataPanel::clear(QStringListModel& model)
{
    model.setStringList({});
}

#include "TDataPanel.h"

#include "WidgetColors.h"

#include <QAction>
#include <QHelpEvent>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QToolTip>
#include <algorithm>

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

// The Error List's rows are shown whole: each is as wide as the widest row, so that the list
// scrolls sideways to the end of any, and holds its full text as its tooltip. All rows keep
// one size, so that the view never measures each of them: the widest is noted as rows come.
class TWholeRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void note(int textWidth) { m_widest = std::max(m_widest, textWidth); }
    void forget() { m_widest = 0; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int margins =
            size.width() - option.fontMetrics.horizontalAdvance(index.data().toString());
        size.setWidth(std::max(size.width(), m_widest + margins));
        return size;
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QToolTip::showText(event->globalPos(), index.data().toString(), view);
        return true;
    }

private:
    int m_widest = 0;
};

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
    // A right click opens the window's menu, as everywhere on the window.
    m_tags->setContextMenuPolicy(Qt::NoContextMenu);
    addTab(m_tags, QStringLiteral("Tag List"));
    m_errorList = addList(QStringLiteral("lbxErrorsList"), QStringLiteral("Error List"));
    m_errors = qobject_cast<QStringListModel*>(m_errorList->model());
    m_errorList->setTextElideMode(Qt::ElideNone);
    m_wholeRows = new TWholeRowDelegate(m_errorList);
    m_errorList->setItemDelegate(m_wholeRows);
}

void TDataPanel::appendError(const QString& line)
{
    m_wholeRows->note(m_errorList->fontMetrics().horizontalAdvance(line));
    append(*m_errors, line);
}

void TDataPanel::clearErrors()
{
    m_wholeRows->forget();
    clear(*m_errors);
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

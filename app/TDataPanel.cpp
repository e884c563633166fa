#include "TDataPanel.h"

#include <QListView>
#include <QPlainTextEdit>
#include <QStringListModel>

TDataPanel::TDataPanel(QWidget* parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("PageControl1"));
    setTabPosition(QTabWidget::South);
    m_queue = addList(QStringLiteral("lbxCueList"), QStringLiteral("Cue List"));
    m_errors = addList(QStringLiteral("lbxErrorsList"), QStringLiteral("Error List"));
    m_tags = new QPlainTextEdit(this);
    m_tags->setObjectName(QStringLiteral("memTagsList"));
    m_tags->setReadOnly(true);
    addTab(m_tags, QStringLiteral("Tag List"));
}

QStringListModel* TDataPanel::addList(const QString& name, const QString& caption)
{
    auto* view = new QListView(this);
    view->setObjectName(name);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height; without this the view measures each of them.
    view->setUniformItemSizes(true);
    auto* model = new QStringListModel(view);
    view->setModel(model);
    addTab(view, caption);
    return model;
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

void TDataPanel::removeFirst(QStringListModel& model)
{
    model.removeRows(0, 1);
}

void TDataPanel::clear(QStringListModel& model)
{
    model.setStringList({});
}

#pragma once

#include <QList>
#include <QStringList>
#include <QTabWidget>
#include <functional>

class QListView;
class QPlainTextEdit;
class QStringListModel;
class TWholeRowDelegate;

// The data panel below the compact window: the queue ("Cue List"), the error list and the
// tags of the running job. The lists are views over string models, so a drop of a whole
// library never makes a widget per file.
class TDataPanel : public QTabWidget
{
public:
    // removeRows: the user asked to take the Cue List's selected rows out of the queue.
    TDataPanel(QWidget* parent, std::function<void(QList<qsizetype>)> removeRows);

    QStringListModel& queue() { return *m_queue; }
    QStringListModel& errors() { return *m_errors; }
    // The Error List's rows, each shown whole.
    void appendError(const QString& line);
    void clearErrors();
    void showTags(const QStringList& lines);

    static void append(QStringListModel& model, const QString& line);
    static void clear(QStringListModel& model);

private:
    QListView* addList(const QString& name, const QString& caption);
    void addRemoveCommand(QListView& queue);

    QStringListModel* m_queue;
    QStringListModel* m_errors;
    QListView* m_errorList;
    TWholeRowDelegate* m_wholeRows;
    QPlainTextEdit* m_tags;
    std::function<void(QList<qsizetype>)> m_removeRows;
};

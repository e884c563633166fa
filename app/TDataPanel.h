#pragma once

#include <QStringList>
#include <QTabWidget>

class QPlainTextEdit;
class QStringListModel;

// The data panel below the compact window: the queue ("Cue List"), the error list and the
// tags of the running job. The lists are views over string models, so a drop of a whole
// library never makes a widget per file.
class TDataPanel : public QTabWidget
{
public:
    explicit TDataPanel(QWidget* parent);

    QStringListModel& queue() { return *m_queue; }
    QStringListModel& errors() { return *m_errors; }
    void showTags(const QStringList& lines);

    static void append(QStringListModel& model, const QString& line);
    static void clear(QStringListModel& model);

private:
    QStringListModel* addList(const QString& name, const QString& caption);

    QStringListModel* m_queue;
    QStringListModel* m_errors;
    QPlainTextEdit* m_tags;
};

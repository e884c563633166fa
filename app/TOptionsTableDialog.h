#pragma once

#include "TCustomOptionsTable.h"

#include <QDialog>
#include <functional>

class QHBoxLayout;
class QKeySequence;
class QTableWidget;
class QTableWidgetItem;

// The modal table of the five custom LAME option sets: every cell edit goes into the table
// at once; Undo and Delete work on the table and show it again. Enter is OK and Esc ends the
// editing, also while a cell is being edited.
class TOptionsTableDialog : public QDialog
{
public:
    TOptionsTableDialog(QWidget* parent, TCustomOptionsTable& table);

    // Shows the dialog modally; how it was left and the rows selected then.
    TTableEdit edit();

private:
    void addKey(const QKeySequence& key, TTableExit exit);
    void finish(TTableExit exit);
    void commitOpenEditor();
    void addButton(const QString& caption, const QString& hint, const std::function<void()>& click);
    void fill();
    void takeCell(QTableWidgetItem* item);
    QList<int> selectedRows() const;

    TCustomOptionsTable& m_table;
    QTableWidget* m_grid;
    QHBoxLayout* m_buttons;
    TTableExit m_exit = TTableExit::CloseBox;
    bool m_filling = false;
};

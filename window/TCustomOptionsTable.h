#pragma once

#include <QList>
#include <QString>
#include <array>

// One row of the custom options table: the name of a custom LAME option set and its option
// string.
struct TOptionRow
{
    QString Name;
    QString Options;
    bool operator==(const TOptionRow&) const = default;
};

// The cells of the custom options table: five rows of name and option string, the five
// custom LAME option sets as the user edits them. Rows are counted from 0 here; the grid that
// shows them adds its header row and the column of row numbers. The table knows no widget.
class TCustomOptionsTable
{
public:
    static constexpr int RowCount = 5;

    // An empty row for a row outside 0..4.
    TOptionRow Row(int row) const;
    // Ignores a row outside 0..4.
    void SetRow(int row, TOptionRow content);

    // The window was activated: what Undo and Esc go back to.
    void Activate();
    void RestoreCells();
    // Empties the row, then, for rows 0 to 3 in turn, closes the gap a row without a name
    // leaves by moving the rows below it up one. A row once passed is not looked at again, so
    // of two neighbouring empty rows above a filled row one gap stays. A row outside 0..4
    // changes nothing.
    void DeleteRow(int row);
    // The pairs of rows with the same non-empty name; three equal names make three pairs.
    int EqualNamePairs() const;

private:
    std::array<TOptionRow, RowCount> m_cells;
    std::array<TOptionRow, RowCount> m_undoCells;
};

// How the user left the modal table.
enum class TTableExit
{
    Ok,
    Escape,
    CloseBox
};

// The end of one modal editing: how it ended and the rows (0..4) the user selected then, in
// any order; none when the user selected none (a current cell alone is no selection).
struct TTableEdit
{
    TTableExit Exit = TTableExit::Ok;
    QList<int> SelectedRows;
};

// The window of the custom options table.
class IOptionsTableView
{
public:
    virtual ~IOptionsTableView() = default;
    // Shows the table's rows modally and returns when the user leaves. Meanwhile the user's
    // cell edits go into the table, Undo calls RestoreCells, Delete calls DeleteRow with the
    // current row, and a later activation of the window calls Activate. Esc only ends it:
    // its restoring is the caller's.
    virtual TTableEdit editOptionsTable(TCustomOptionsTable& table) = 0;
    // A modal message the user must acknowledge.
    virtual void showWarning(const QString& text) = 0;
};

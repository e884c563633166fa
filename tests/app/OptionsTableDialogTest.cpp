// The table of the custom LAME option sets: Enter and Esc also while a cell is being edited,
// Delete, Undo and the close box.
#include "QtPrinters.h"
#include "TOptionsTableDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

class OptionsTableDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int row = 0; row < 3; ++row)
            table.SetRow(row, {QStringLiteral("set%1").arg(row), QStringLiteral("-V %1").arg(row)});
        table.Activate();
    }

    // Opens the table modally and acts in it once it shows.
    TTableEdit Edit(const std::function<void(TOptionsTableDialog&, QTableWidget&)>& act)
    {
        QWidget parent;
        TOptionsTableDialog dialog(&parent, table);
        QTimer::singleShot(0, &dialog, [&] {
            dialog.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog))
                << "keys reach only the active window";
            act(dialog, *dialog.findChild<QTableWidget*>(QStringLiteral("StringGrid1")));
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the table stayed open";
                dialog.reject();
            }
        });
        return dialog.edit();
    }

    // Opens the editor of a cell and types into it, without ending the editing.
    static QLineEdit* Type(QTableWidget& grid, int row, int column, const QString& text)
    {
        grid.setCurrentCell(row, column);
        grid.editItem(grid.item(row, column));
        auto* editor = grid.findChild<QLineEdit*>();
        if (!editor) {
            ADD_FAILURE() << "no cell editor opened";
            return nullptr;
        }
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor;
    }

    static void Press(const char* caption, TOptionsTableDialog& dialog)
    {
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text() == QString::fromLatin1(caption))
                return button->click();
        FAIL() << "no button " << caption;
    }

    TCustomOptionsTable table;
};

// The key goes to the window before the editor: the typed text is taken, the window closes.
TEST_F(OptionsTableDialogTest, EnterWhileEditingKeepsTheTextAndIsOk)
{
    const TTableEdit edit = Edit([](TOptionsTableDialog&, QTableWidget& grid) {
        if (QLineEdit* editor = Type(grid, 1, 1, QStringLiteral("--preset insane")))
            QTest::keyClick(editor, Qt::Key_Return);
    });

    EXPECT_EQ(edit.Exit, TTableExit::Ok);
    EXPECT_EQ(edit.SelectedRows, QList<int>{1});
    EXPECT_EQ(table.Row(1).Options, QStringLiteral("--preset insane"));
}

// Esc ends the editing; the text being typed is not taken (the cells go back at Esc).
TEST_F(OptionsTableDialogTest, EscWhileEditingDropsTheText)
{
    const TTableEdit edit = Edit([](TOptionsTableDialog&, QTableWidget& grid) {
        if (QLineEdit* editor = Type(grid, 0, 0, QStringLiteral("renamed")))
            QTest::keyClick(editor, Qt::Key_Escape);
    });

    EXPECT_EQ(edit.Exit, TTableExit::Escape);
    EXPECT_EQ(table.Row(0).Name, QStringLiteral("set0"));
}

// Delete empties the current row and closes its gap; Undo brings back what the window
// opened with; the close box keeps the edits.
TEST_F(OptionsTableDialogTest, DeleteUndoAndCloseBox)
{
    QList<TOptionRow> afterDelete;
    const TTableEdit edit = Edit([&](TOptionsTableDialog& dialog, QTableWidget& grid) {
        grid.setCurrentCell(0, 0);
        Press("Delete", dialog);
        for (int row = 0; row < 3; ++row)
            afterDelete << table.Row(row);
        EXPECT_EQ(grid.item(0, 0)->text(), QStringLiteral("set1")) << "the grid shows the table";
        Press("Undo", dialog);
        grid.item(2, 1)->setText(QStringLiteral("-b 320"));
        dialog.close();
    });

    EXPECT_EQ(afterDelete, (QList<TOptionRow>{{"set1", "-V 1"}, {"set2", "-V 2"}, {}}));
    EXPECT_EQ(edit.Exit, TTableExit::CloseBox);
    EXPECT_EQ(table.Row(0).Name, QStringLiteral("set0"));
    EXPECT_EQ(table.Row(2).Options, QStringLiteral("-b 320"));
}

} // namespace

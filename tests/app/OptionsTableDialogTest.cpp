// The table of the custom LAME option sets: Enter and Esc also while a cell is being edited,
// Delete, Undo and the close box, and the chosen set after leaving it from the window.
#include "FileSystem.h"
#include "QtPrinters.h"
#include "TForm1.h"
#include "TMainWindow.h"
#include "TOptionsTableDialog.h"
#include "TestMedia.h"

#include <QAction>
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using TTableAct = std::function<void(QDialog&, QTableWidget&)>;

void Press(const char* caption, QDialog& dialog)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == QString::fromLatin1(caption))
            return button->click();
    FAIL() << "no button " << caption;
}

// Acts in the modal table once it shows, as a user does: in the active window. The act must
// leave the table.
void ActInTable(const TTableAct& act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no table opened";
            return;
        }
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog)) << "keys reach only the active window";
        act(*dialog, *dialog->findChild<QTableWidget*>(QStringLiteral("StringGrid1")));
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the table stayed open";
            dialog->reject();
        }
    });
}

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
    TTableEdit Edit(const TTableAct& act)
    {
        QWidget parent;
        TOptionsTableDialog dialog(&parent, table);
        ActInTable(act);
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

    TCustomOptionsTable table;
};

// The key goes to the window before the editor: the typed text is taken, the window closes.
TEST_F(OptionsTableDialogTest, EnterWhileEditingKeepsTheTextAndIsOk)
{
    const TTableEdit edit = Edit([](QDialog&, QTableWidget& grid) {
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
    const TTableEdit edit = Edit([](QDialog&, QTableWidget& grid) {
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
    const TTableEdit edit = Edit([&](QDialog& dialog, QTableWidget& grid) {
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

// The ways of leaving the table; each is what a user does once the table shows.
struct TLeaveCase
{
    const char* name;
    TTableExit exit;
    std::function<void(QDialog&)> leave;
};

void PrintTo(const TLeaveCase& c, std::ostream* os)
{
    *os << c.name;
}

const auto LeaveCases = ::testing::Values(
    TLeaveCase{"ok_button", TTableExit::Ok, [](QDialog& dialog) { Press("OK", dialog); }},
    TLeaveCase{"enter", TTableExit::Ok,
               [](QDialog&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }},
    TLeaveCase{"escape", TTableExit::Escape,
               [](QDialog&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
    TLeaveCase{"close_box", TTableExit::CloseBox, [](QDialog& dialog) { dialog.close(); }});

class LeaveTableTest : public OptionsTableDialogTest,
                       public ::testing::WithParamInterface<TLeaveCase>
{};

// The grid has a current cell from the moment it has the focus; that is no row the user
// selected.
TEST_P(LeaveTableTest, WithoutAClickNoRowIsSelected)
{
    const TLeaveCase& c = GetParam();
    const TTableEdit edit = Edit([&](QDialog& dialog, QTableWidget& grid) {
        EXPECT_TRUE(grid.hasFocus());
        EXPECT_TRUE(grid.currentIndex().isValid()) << "the grid has a current cell";
        c.leave(dialog);
    });

    EXPECT_EQ(edit.Exit, c.exit);
    EXPECT_EQ(edit.SelectedRows, QList<int>{});
}

TEST_P(LeaveTableTest, AClickedRowIsSelected)
{
    const TLeaveCase& c = GetParam();
    const TTableEdit edit = Edit([&](QDialog& dialog, QTableWidget& grid) {
        const QRect cell = grid.visualItemRect(grid.item(2, 1));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        c.leave(dialog);
    });

    EXPECT_EQ(edit.Exit, c.exit);
    EXPECT_EQ(edit.SelectedRows, QList<int>{2});
}

INSTANTIATE_TEST_SUITE_P(Ways, LeaveTableTest, LeaveCases,
                         [](const auto& info) { return std::string(info.param.name); });

// A set chosen before the table opens, by its menu item.
struct TStartCase
{
    const char* name;
    const char* item;
    const char* chosen;
};

void PrintTo(const TStartCase& c, std::ostream* os)
{
    *os << c.name;
}

// The window over its logic, with two custom sets stored.
class TableOnTheWindowTest : public ::testing::TestWithParam<std::tuple<TStartCase, TLeaveCase>>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        const QJsonObject stored{{"lamename", "APS"},
                                 {"LameOptionName1", "Mine"},
                                 {"LameOptionString1", "-V 3"},
                                 {"LameOptionName2", "Other"},
                                 {"LameOptionString2", "-V 6"}};
        ASSERT_TRUE(WriteFile(root.filePath("config/KPZ05.json"), QJsonDocument(stored).toJson()));
        form = std::make_unique<TForm1>(window, TestStore(root.path()));
        window.attach(*form);
        form->LoadLameOptions();
        window.show();
    }

    QAction& Item(const char* name)
    {
        auto* item = window.findChild<QAction*>(QString::fromLatin1(name));
        if (!item)
            throw std::runtime_error(std::string("no item ") + name);
        return *item;
    }
    QString Label() const
    {
        return window.findChild<QLabel*>(QStringLiteral("lblBitRate"))->text();
    }
    QString StoredChoice() const
    {
        return QJsonDocument::fromJson(ReadAll(root.filePath("config/KPZ05.json")))
            .object()
            .value("lamename")
            .toString();
    }

    QTemporaryDir root;
    TMainWindow window;
    std::unique_ptr<TForm1> form;
};

// F3 and straight out again, whichever way, is no new choice.
TEST_P(TableOnTheWindowTest, LeavingWithoutAClickKeepsTheChosenSet)
{
    const auto& [start, leave] = GetParam();
    Item(start.item).trigger();
    ASSERT_EQ(form->OptionSets().ChosenOptionName(), start.chosen);

    ActInTable([&](QDialog& dialog, QTableWidget&) { leave.leave(dialog); });
    Item("mnuCustomSettings").trigger();

    EXPECT_EQ(form->OptionSets().ChosenOptionName(), start.chosen);
    EXPECT_TRUE(Item(start.item).isChecked());
    EXPECT_EQ(Label(), QStringLiteral("Lame setting : ") + start.chosen);
    EXPECT_EQ(StoredChoice(), start.chosen);
}

// A click on a row still chooses its set.
TEST_P(TableOnTheWindowTest, ClickedRowIsChosen)
{
    const auto& [start, leave] = GetParam();
    Item(start.item).trigger();

    ActInTable([&](QDialog& dialog, QTableWidget& grid) {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          grid.visualItemRect(grid.item(1, 0)).center());
        leave.leave(dialog);
    });
    Item("mnuCustomSettings").trigger();

    EXPECT_EQ(form->OptionSets().ChosenOptionName(), "Other");
    EXPECT_TRUE(Item("cs2").isChecked());
    EXPECT_EQ(StoredChoice(), "Other");
}

INSTANTIATE_TEST_SUITE_P(
    Starts, TableOnTheWindowTest,
    ::testing::Combine(::testing::Values(TStartCase{"custom_set", "cs1", "Mine"},
                                         TStartCase{"preset_192_kb_vbr", "fs2", "192 kb vbr"},
                                         TStartCase{"preset_Insane", "fs5", "Insane"}),
                       LeaveCases),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

} // namespace

// The LAME option sets: what the store gives them, which one is ticked and what the encoder
// gets, and the custom options table with its undo, its row deletion and its closing.
#include "QtPrinters.h"
#include "TLameOptionSets.h"
#include "TestMedia.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

void PrintTo(const QJsonObject& object, std::ostream* os)
{
    *os << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

void PrintTo(const TOptionRow& row, std::ostream* os)
{
    *os << '{' << row.Name.toStdString() << ", " << row.Options.toStdString() << '}';
}

namespace {

// The sets by their menu items.
constexpr int Cs1 = 0;
constexpr int Cs2 = 1;
constexpr int Cs3 = 2;
constexpr int Cs4 = 3;
constexpr int Cs5 = 4;
constexpr int Fs2 = 6;
constexpr int Fs3 = 7;
constexpr int Fs4 = 8;

const QString DuplicateWarning =
    QStringLiteral("Warning! there are two equal \"Lame Option Names\"");

class TFakeLameOptionsView : public ILameOptionsView
{
public:
    void setPresetTicked(int index, bool ticked) override { Ticked[size_t(index)] = ticked; }
    void setPresetCaption(int index, const QString& caption) override
    {
        Captions[size_t(index)] = caption;
    }
    void setPresetVisible(int index, bool visible) override { Visible[size_t(index)] = visible; }
    void showLameSetting(const QString& text, const QString& hint) override
    {
        SettingText = text;
        SettingHint = hint;
    }

    QList<int> TickedItems() const
    {
        QList<int> items;
        for (int k = 0; k < TLameOptionSets::SetCount; ++k) {
            if (Ticked[size_t(k)])
                items.append(k);
        }
        return items;
    }
    // The custom items as the menu shows them: the caption of a visible one, "-" for a hidden.
    QStringList CustomItems() const
    {
        QStringList items;
        for (int k = 0; k < TLameOptionSets::CustomCount; ++k)
            items.append(Visible[size_t(k)] ? Captions[size_t(k)] : QStringLiteral("-"));
        return items;
    }

    std::array<bool, TLameOptionSets::SetCount> Ticked{};
    std::array<QString, TLameOptionSets::CustomCount> Captions;
    std::array<bool, TLameOptionSets::CustomCount> Visible{};
    QString SettingText;
    QString SettingHint;
};

// The user's editing is the test's function; without one the user leaves at once with OK.
class TFakeOptionsTableView : public IOptionsTableView
{
public:
    TTableEdit editOptionsTable(TCustomOptionsTable& table) override
    {
        return User ? User(table) : TTableEdit{};
    }
    void showWarning(const QString& text) override { Warnings.append(text); }

    std::function<TTableEdit(TCustomOptionsTable&)> User;
    QStringList Warnings;
};

QString OptionsOf(const QString& name)
{
    return name.isEmpty() ? QString() : QStringLiteral("-V ") + name;
}

// A store in a throw-away folder, the sets over it and the two recording views.
class LameOptionSetsTest : public ::testing::Test
{
protected:
    QString User() const { return dir.filePath("user/KPZ05.json"); }
    QString Machine() const { return dir.filePath("machine/KPZ05.json"); }
    void Store(const QString& file, const QByteArray& json) { ASSERT_TRUE(WriteFile(file, json)); }
    // Custom sets of these names in the user root, each with the option string OptionsOf(name).
    void StoreSets(const QStringList& names, const QString& chosen)
    {
        QJsonObject root{{"lamename", chosen}};
        for (int k = 0; k < names.size(); ++k) {
            root.insert(QStringLiteral("LameOptionName%1").arg(k + 1), names[k]);
            root.insert(QStringLiteral("LameOptionString%1").arg(k + 1), OptionsOf(names[k]));
        }
        Store(User(), QJsonDocument(root).toJson());
    }
    QJsonObject UserRoot() const { return QJsonDocument::fromJson(ReadAll(User())).object(); }
    QString Stored(const char* name) const { return UserRoot().value(name).toString(); }
    QStringList StoredNames() const
    {
        QStringList names;
        for (int k = 1; k <= TLameOptionSets::CustomCount; ++k)
            names.append(UserRoot().value(QStringLiteral("LameOptionName%1").arg(k)).toString());
        return names;
    }
    QStringList TableNames()
    {
        QStringList names;
        for (int row = 0; row < TCustomOptionsTable::RowCount; ++row)
            names.append(sets.Table().Row(row).Name);
        return names;
    }
    void Load() { ASSERT_EQ(sets.LoadLameOptions(), QString()); }
    void ExpectTicked(std::optional<int> item)
    {
        EXPECT_EQ(sets.TickedIndex(), item);
        EXPECT_EQ(view.TickedItems(), item ? QList<int>{*item} : QList<int>{});
    }

    QTemporaryDir dir;
    TFakeLameOptionsView view;
    TFakeOptionsTableView tableView;
    TLameOptionSets sets{TSettingsStore(User(), Machine()), &view};
};

TEST_F(LameOptionSetsTest, FreshStartTicksAPSAndStoresFiveEmptyCustomSets)
{
    // Before the first load the custom items keep their design caption and nothing is ticked.
    EXPECT_EQ(sets.Caption(Cs1), "empty");
    EXPECT_EQ(sets.TickedIndex(), std::nullopt);
    EXPECT_EQ(sets.CheckedPresetOptions(), " ");

    Load();
    ExpectTicked(Fs3);
    EXPECT_EQ(sets.ChosenOptionName(), "APS");
    EXPECT_EQ(view.SettingText, "Lame setting : APS");
    EXPECT_EQ(view.SettingHint, "--preset standard");
    EXPECT_EQ(sets.LameSettingText(), "Lame setting : APS");
    EXPECT_EQ(sets.CheckedPresetOptions(), " --preset standard");
    EXPECT_EQ(view.CustomItems(), QStringList(5, "-"));
    for (int k = 0; k < TLameOptionSets::SetCount; ++k)
        EXPECT_EQ(sets.IsVisible(k), k >= TLameOptionSets::CustomCount) << k;
    QJsonObject expected{{"lamename", "APS"}};
    for (int k = 1; k <= TLameOptionSets::CustomCount; ++k) {
        expected.insert(QStringLiteral("LameOptionName%1").arg(k), "");
        expected.insert(QStringLiteral("LameOptionString%1").arg(k), "");
    }
    EXPECT_EQ(UserRoot(), expected);
    EXPECT_EQ(TableNames(), QStringList(5, QString()));
}

struct TLoadCase
{
    const char* name;
    const char* json; // the user root
    std::optional<int> ticked;
    const char* options;
    const char* setting; // the "Lame setting" label, empty when the load shows none
    QStringList customItems;
    // "lamename" as the store keeps it, when that is not the ticked set's caption.
    std::optional<QJsonValue> keptChoice = std::nullopt;
};

void PrintTo(const TLoadCase& c, std::ostream* os)
{
    *os << c.name;
}

class LameOptionSetsLoadTest : public LameOptionSetsTest,
                               public ::testing::WithParamInterface<TLoadCase>
{};

TEST_P(LameOptionSetsLoadTest, ChosenNameTicksTheFirstSetOfThatName)
{
    const TLoadCase& c = GetParam();
    Store(User(), c.json);
    Load();
    ExpectTicked(c.ticked);
    EXPECT_EQ(sets.CheckedPresetOptions(), c.options);
    EXPECT_EQ(view.SettingText, c.setting);
    EXPECT_EQ(view.CustomItems(), c.customItems);
    // Ticking a set writes the choice, unless the store holds one of another type that reads
    // as it; a load that ticks none writes nothing.
    if (c.keptChoice)
        EXPECT_EQ(UserRoot().value("lamename"), *c.keptChoice);
    else if (c.ticked)
        EXPECT_EQ(Stored("lamename"), sets.Caption(*c.ticked));
    else
        EXPECT_EQ(ReadAll(User()), QByteArray(c.json));
}

const QStringList NoCustomItems(5, "-");

INSTANTIATE_TEST_SUITE_P(
    Stored, LameOptionSetsLoadTest,
    ::testing::Values(
        TLoadCase{"custom_set_named_APS_wins",
                  R"({"LameOptionName2": "APS", "LameOptionString2": "-V 2", "lamename": "APS"})",
                  Cs2,
                  " -V 2",
                  "Lame setting : APS",
                  {"-", "APS", "-", "-", "-"}},
        TLoadCase{"lower_of_two_equal_custom_names",
                  R"({"LameOptionName2": "Mine", "LameOptionString2": "-V 2",
                      "LameOptionName4": "Mine", "LameOptionString4": "-V 4", "lamename": "Mine"})",
                  Cs2,
                  " -V 2",
                  "Lame setting : Mine",
                  {"-", "Mine", "-", "Mine", "-"}},
        TLoadCase{"name_of_another_type_is_a_selectable_empty_set",
                  R"({"LameOptionName3": 5, "lamename": "empty"})",
                  Cs3,
                  " ",
                  "Lame setting : empty",
                  {"-", "-", "empty", "-", "-"}},
        TLoadCase{"option_string_of_another_type_reads_empty",
                  R"({"LameOptionName1": "Mine", "LameOptionString1": 7, "lamename": "Mine"})",
                  Cs1,
                  " ",
                  "Lame setting : Mine",
                  {"Mine", "-", "-", "-", "-"}},
        TLoadCase{"custom_set_not_chosen",
                  R"({"LameOptionName4": "Mine", "lamename": "APX"})",
                  Fs4,
                  " --preset extreme",
                  "Lame setting : APX",
                  {"-", "-", "-", "Mine", "-"}},
        TLoadCase{"unknown_name_ticks_none", R"({"lamename": "Nope"})", std::nullopt, " ", "",
                  NoCustomItems},
        TLoadCase{"names_compare_exactly", R"({"lamename": "aps"})", std::nullopt, " ", "",
                  NoCustomItems},
        TLoadCase{"empty_chosen_name_means_APS", R"({"lamename": ""})", Fs3, " --preset standard",
                  "Lame setting : APS", NoCustomItems},
        TLoadCase{"chosen_name_of_another_type_means_APS", R"({"lamename": 3})", Fs3,
                  " --preset standard", "Lame setting : APS", NoCustomItems, QJsonValue(3)}),
    [](const auto& info) { return std::string(info.param.name); });

struct TRootCase
{
    const char* name;
    const char* user;
    const char* machine;
    QString firstCustomItem; // "-" when hidden
    const char* options;
};

void PrintTo(const TRootCase& c, std::ostream* os)
{
    *os << c.name;
}

class LameOptionSetsRootTest : public LameOptionSetsTest,
                               public ::testing::WithParamInterface<TRootCase>
{};

// The chosen name decides which root a load reads; the choice is written to the user root.
TEST_P(LameOptionSetsRootTest, UserRootWithoutAChosenNameReadsTheMachineRoot)
{
    const TRootCase& c = GetParam();
    Store(User(), c.user);
    Store(Machine(), c.machine);
    Load();
    EXPECT_EQ(view.CustomItems().first(), c.firstCustomItem);
    EXPECT_EQ(sets.CheckedPresetOptions(), c.options);
    EXPECT_EQ(Stored("lamename"), sets.ChosenOptionName());
    EXPECT_EQ(StoredNames().first(), sets.Table().Row(Cs1).Name);
}

INSTANTIATE_TEST_SUITE_P(
    Roots, LameOptionSetsRootTest,
    ::testing::Values(
        TRootCase{"user_root_without_chosen_name",
                  R"({"LameOptionName1": "Mine", "LameOptionString1": "-V 1"})",
                  R"({"LameOptionName1": "Site", "LameOptionString1": "-V 5", "lamename": "Site"})",
                  "Site", " -V 5"},
        TRootCase{"user_root_with_chosen_name",
                  R"({"LameOptionName1": "Mine", "LameOptionString1": "-V 1", "lamename": "Mine"})",
                  R"({"LameOptionName1": "Site", "LameOptionString1": "-V 5", "lamename": "Site"})",
                  "Mine", " -V 1"},
        TRootCase{"user_root_with_empty_chosen_name", R"({"lamename": ""})",
                  R"({"LameOptionName1": "Site", "LameOptionString1": "-V 5", "lamename": "Site"})",
                  "-", " --preset standard"}),
    [](const auto& info) { return std::string(info.param.name); });

// A click writes the choice together with the custom sets as the table holds them.
TEST_F(LameOptionSetsTest, ClickStoresTheChoiceAndTheTableAsItStands)
{
    StoreSets({"Mine"}, "Mine");
    Load();
    sets.Table().SetRow(Cs2, {"Edited", "-V 4"});
    EXPECT_EQ(sets.SelectPreset(Fs4), QString());
    ExpectTicked(Fs4);
    EXPECT_EQ(sets.ChosenOptionName(), "APX");
    EXPECT_EQ(view.SettingText, "Lame setting : APX");
    EXPECT_EQ(view.SettingHint, "--preset extreme");
    EXPECT_EQ(sets.CheckedPresetOptions(), " --preset extreme");
    EXPECT_EQ(Stored("lamename"), "APX");
    EXPECT_EQ(StoredNames(), (QStringList{"Mine", "Edited", "", "", ""}));
    EXPECT_EQ(Stored("LameOptionString2"), "-V 4");
    // The menu follows the table only at the next load.
    EXPECT_EQ(view.CustomItems(), (QStringList{"Mine", "-", "-", "-", "-"}));
}

TEST_F(LameOptionSetsTest, ClickOnAnItemWithoutACaptionChangesNothing)
{
    Load();
    ASSERT_TRUE(QFile::remove(User()));
    for (int item : {Cs1, Cs5, -1, TLameOptionSets::SetCount}) {
        SCOPED_TRACE(item);
        EXPECT_EQ(sets.SelectPreset(item), QString());
        ExpectTicked(Fs3);
        EXPECT_EQ(sets.ChosenOptionName(), "APS");
    }
    EXPECT_FALSE(QFile::exists(User()));
}

// Values that read as a default because of their type go back as they were stored with each
// write, until the user gives them a value in the table.
TEST_F(LameOptionSetsTest, ValuesOfAnotherTypeAreWrittenBackUntilEdited)
{
    Store(User(), R"({"LameOptionName1": "Mine", "LameOptionString1": 7,
                      "LameOptionName3": 5, "lamename": "Mine"})");
    Load();
    ASSERT_EQ(sets.SelectPreset(Fs4), QString());
    EXPECT_EQ(UserRoot().value("LameOptionString1"), 7);
    EXPECT_EQ(UserRoot().value("LameOptionName3"), 5);
    EXPECT_EQ(Stored("lamename"), "APX");

    tableView.User = [](TCustomOptionsTable& table) {
        table.SetRow(Cs3, {"Third", "-V 3"});
        return TTableEdit{};
    };
    ASSERT_EQ(sets.OpenOptionsTable(tableView), QString());
    EXPECT_EQ(Stored("LameOptionName3"), "Third");
    EXPECT_EQ(Stored("LameOptionString3"), "-V 3");
    EXPECT_EQ(UserRoot().value("LameOptionString1"), 7);
}

TEST_F(LameOptionSetsTest, FailedWriteIsReturned)
{
    // The user root's folder is a file, so nothing can be written there.
    ASSERT_TRUE(WriteFile(dir.filePath("blocked"), "x"));
    TLameOptionSets blocked(TSettingsStore(dir.filePath("blocked/KPZ05.json"), Machine()), &view);
    EXPECT_NE(blocked.LoadLameOptions(), QString());
    // The choice is made all the same.
    EXPECT_EQ(blocked.TickedIndex(), Fs3);
    EXPECT_NE(blocked.SelectPreset(Fs4), QString());
    EXPECT_EQ(blocked.TickedIndex(), Fs4);
    EXPECT_NE(blocked.SaveLameOptions(), QString());
    EXPECT_NE(blocked.OpenOptionsTable(tableView), QString());
}

// Rows are written as letters: a capital is a set of that name with an option string, a small
// letter a row with only an option string, "-" an empty row.
TCustomOptionsTable TableOf(const char* rows)
{
    TCustomOptionsTable table;
    for (int row = 0; row < TCustomOptionsTable::RowCount; ++row) {
        const QChar letter = QLatin1Char(rows[row]);
        if (letter != u'-')
            table.SetRow(row, {letter.isUpper() ? QString(letter) : QString(),
                               QStringLiteral("--opt ") + letter.toLower()});
    }
    return table;
}

struct TDeleteCase
{
    const char* name;
    const char* before;
    int row;
    const char* after;
};

void PrintTo(const TDeleteCase& c, std::ostream* os)
{
    *os << c.name;
}

class DeleteRowTest : public ::testing::TestWithParam<TDeleteCase>
{};

TEST_P(DeleteRowTest, RowsBelowAGapMoveUp)
{
    const TDeleteCase& c = GetParam();
    TCustomOptionsTable table = TableOf(c.before);
    table.DeleteRow(c.row);
    const TCustomOptionsTable expected = TableOf(c.after);
    for (int row = 0; row < TCustomOptionsTable::RowCount; ++row)
        EXPECT_EQ(table.Row(row), expected.Row(row)) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DeleteRowTest,
    ::testing::Values(TDeleteCase{"second_of_five_filled_rows", "ABCDE", 1, "ACDE-"},
                      TDeleteCase{"first_row", "ABCDE", 0, "BCDE-"},
                      TDeleteCase{"last_row", "ABCDE", 4, "ABCD-"},
                      // The pass does not look at a row again: one of two gaps stays.
                      TDeleteCase{"two_empty_rows_above_a_filled_one", "A--DE", 4, "A-D--"},
                      TDeleteCase{"empty_row_below_the_sets", "AB---", 3, "AB---"},
                      // Only the name decides: a row without one is closed up, string and all.
                      TDeleteCase{"row_without_a_name_counts_as_empty", "AbCDE", 3, "ACE--"},
                      TDeleteCase{"row_outside_the_table", "A--DE", -1, "A--DE"},
                      TDeleteCase{"row_past_the_table", "A--DE", 5, "A--DE"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TDuplicateCase
{
    const char* name;
    QStringList names;
    int warnings;
};

void PrintTo(const TDuplicateCase& c, std::ostream* os)
{
    *os << c.name;
}

class DuplicateNamesTest : public LameOptionSetsTest,
                           public ::testing::WithParamInterface<TDuplicateCase>
{};

// Equal names are kept; the user is only warned, once for each pair.
TEST_P(DuplicateNamesTest, ClosingWarnsOncePerPairOfEqualNames)
{
    const TDuplicateCase& c = GetParam();
    StoreSets(c.names, "APS");
    Load();
    EXPECT_EQ(sets.OpenOptionsTable(tableView), QString());
    EXPECT_EQ(tableView.Warnings, QStringList(c.warnings, DuplicateWarning));
    EXPECT_EQ(StoredNames(), c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DuplicateNamesTest,
    ::testing::Values(TDuplicateCase{"all_different", {"A", "B", "C", "D", "E"}, 0},
                      TDuplicateCase{"one_pair", {"A", "B", "", "", "A"}, 1},
                      TDuplicateCase{"three_equal", {"X", "X", "", "X", ""}, 3},
                      TDuplicateCase{"two_pairs", {"A", "A", "B", "B", ""}, 2},
                      TDuplicateCase{"all_five_equal", {"X", "X", "X", "X", "X"}, 10},
                      TDuplicateCase{"empty_names_are_no_pair", {"", "", "", "", ""}, 0},
                      TDuplicateCase{"names_differing_in_case", {"Mine", "mine", "", "", ""}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct TExitCase
{
    const char* name;
    TTableExit exit;
    const char* secondSet; // after closing
};

void PrintTo(const TExitCase& c, std::ostream* os)
{
    *os << c.name;
}

class TableExitTest : public LameOptionSetsTest, public ::testing::WithParamInterface<TExitCase>
{};

// OK and the close box keep the edits; Esc gives them up, yet the selected row is chosen.
TEST_P(TableExitTest, SelectedRowIsChosenWhicheverWayTheTableIsLeft)
{
    const TExitCase& c = GetParam();
    StoreSets({"A", "B"}, "A");
    Load();
    tableView.User = [&c](TCustomOptionsTable& table) {
        table.SetRow(Cs2, {"X", OptionsOf("X")});
        table.SetRow(Cs3, {"Y", OptionsOf("Y")});
        return TTableEdit{c.exit, {Cs2}};
    };
    EXPECT_EQ(sets.OpenOptionsTable(tableView), QString());
    const QString second = c.secondSet;
    EXPECT_EQ(sets.Table().Row(Cs2), (TOptionRow{second, OptionsOf(second)}));
    EXPECT_EQ(sets.ChosenOptionName(), second);
    ExpectTicked(Cs2);
    EXPECT_EQ(sets.CheckedPresetOptions(), u' ' + OptionsOf(second));
    EXPECT_EQ(Stored("lamename"), second);
    EXPECT_EQ(StoredNames().at(Cs2), second);
    EXPECT_EQ(view.CustomItems().at(Cs2), second);
}

INSTANTIATE_TEST_SUITE_P(
    Exits, TableExitTest,
    ::testing::Values(TExitCase{"ok_keeps_the_edits", TTableExit::Ok, "X"},
                      TExitCase{"close_box_keeps_the_edits", TTableExit::CloseBox, "X"},
                      TExitCase{"escape_restores_the_cells", TTableExit::Escape, "B"}),
    [](const auto& info) { return std::string(info.param.name); });

// Undo goes back to the cells as they were when this opening began, not to the first load.
TEST_F(LameOptionSetsTest, UndoGoesBackToTheCellsOfThisOpening)
{
    StoreSets({"A", "B"}, "A");
    Load();
    tableView.User = [](TCustomOptionsTable& table) {
        table.SetRow(Cs1, {"X", OptionsOf("X")});
        return TTableEdit{TTableExit::Ok, {Cs1}};
    };
    ASSERT_EQ(sets.OpenOptionsTable(tableView), QString());
    tableView.User = [](TCustomOptionsTable& table) {
        table.SetRow(Cs1, {"Y", OptionsOf("Y")});
        table.SetRow(Cs2, {"Z", OptionsOf("Z")});
        table.RestoreCells();
        table.SetRow(Cs3, {"C", OptionsOf("C")});
        return TTableEdit{TTableExit::Ok, {Cs1}};
    };
    EXPECT_EQ(sets.OpenOptionsTable(tableView), QString());
    EXPECT_EQ(StoredNames(), (QStringList{"X", "B", "C", "", ""}));
    EXPECT_EQ(sets.ChosenOptionName(), "X");
}

struct TChoiceCase
{
    const char* name;
    const char* renameFirstTo; // nullptr: the first row keeps its name
    QList<int> selected;
    const char* chosen;
    int ticked;
};

void PrintTo(const TChoiceCase& c, std::ostream* os)
{
    *os << c.name;
}

class TableChoiceTest : public LameOptionSetsTest, public ::testing::WithParamInterface<TChoiceCase>
{};

TEST_P(TableChoiceTest, ChoiceFollowsTheFirstSelectedRow)
{
    const TChoiceCase& c = GetParam();
    StoreSets({"A", "B", "C", "D", ""}, "A");
    Load();
    tableView.User = [&c](TCustomOptionsTable& table) {
        if (c.renameFirstTo)
            table.SetRow(Cs1, {c.renameFirstTo, OptionsOf("A")});
        return TTableEdit{TTableExit::Ok, c.selected};
    };
    EXPECT_EQ(sets.OpenOptionsTable(tableView), QString());
    EXPECT_EQ(sets.ChosenOptionName(), c.chosen);
    ExpectTicked(c.ticked);
    EXPECT_EQ(view.SettingText, QStringLiteral("Lame setting : ") + c.chosen);
    EXPECT_EQ(Stored("lamename"), c.chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, TableChoiceTest,
    ::testing::Values(
        TChoiceCase{"rows_2_to_4_choose_row_2", nullptr, {1, 2, 3}, "B", Cs2},
        TChoiceCase{"selection_made_upwards", nullptr, {3, 2, 1}, "B", Cs2},
        TChoiceCase{"empty_row_chooses_APS", nullptr, {4}, "APS", Fs3},
        TChoiceCase{"renamed_chosen_set_stays_chosen", "Renamed", {0}, "Renamed", Cs1},
        TChoiceCase{"renamed_chosen_set_with_another_row_selected", "Renamed", {2}, "C", Cs3}),
    [](const auto& info) { return std::string(info.param.name); });

struct TKeptChoiceCase
{
    const char* name;
    const char* chosen; // before the table opens
    std::optional<int> ticked;
};

class UnselectedTableTest
    : public LameOptionSetsTest,
      public ::testing::WithParamInterface<std::tuple<TKeptChoiceCase, TExitCase>>
{};

// The grid's current cell is no choice of the user's: leaving the table without selecting a
// row keeps the chosen set, whatever it is, while the edits go the way of the exit.
TEST_P(UnselectedTableTest, ChosenSetStaysWhicheverWayTheTableIsLeft)
{
    const auto& [c, exit] = GetParam();
    StoreSets({"A", "B", "C", "D", ""}, c.chosen);
    Load();
    tableView.User = [&exit](TCustomOptionsTable& table) {
        table.SetRow(Cs4, {"X", OptionsOf("X")});
        return TTableEdit{exit.exit, {}};
    };
    EXPECT_EQ(sets.OpenOptionsTable(tableView), QString());
    EXPECT_EQ(sets.ChosenOptionName(), c.chosen);
    ExpectTicked(c.ticked);
    EXPECT_EQ(Stored("lamename"), c.chosen);
    EXPECT_EQ(StoredNames().at(Cs4), exit.exit == TTableExit::Escape ? "D" : "X");
}

INSTANTIATE_TEST_SUITE_P(
    Choices, UnselectedTableTest,
    ::testing::Combine(::testing::Values(TKeptChoiceCase{"custom_set", "B", Cs2},
                                         TKeptChoiceCase{"custom_set_in_the_first_row", "A", Cs1},
                                         TKeptChoiceCase{"preset_192_kb_vbr", "192 kb vbr", Fs2},
                                         TKeptChoiceCase{"preset_APS", "APS", Fs3},
                                         TKeptChoiceCase{"name_of_no_set", "Gone", std::nullopt}),
                       ::testing::Values(TExitCase{"ok", TTableExit::Ok, nullptr},
                                         TExitCase{"close_box", TTableExit::CloseBox, nullptr},
                                         TExitCase{"escape", TTableExit::Escape, nullptr})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

TEST_F(LameOptionSetsTest, DeletedSetLosesItsItemAfterClosing)
{
    StoreSets({"A", "B", "C", "D", "E"}, "A");
    Load();
    tableView.User = [](TCustomOptionsTable& table) {
        table.DeleteRow(Cs2);
        return TTableEdit{TTableExit::Ok, {Cs1}};
    };
    EXPECT_EQ(sets.OpenOptionsTable(tableView), QString());
    EXPECT_EQ(view.CustomItems(), (QStringList{"A", "C", "D", "E", "-"}));
    EXPECT_EQ(StoredNames(), (QStringList{"A", "C", "D", "E", ""}));
    EXPECT_EQ(Stored("LameOptionString2"), OptionsOf("C"));
    EXPECT_EQ(Stored("LameOptionString5"), "");
}

} // namespace

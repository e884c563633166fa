#pragma once

#include "TCustomOptionsTable.h"
#include "TSettingsStore.h"

#include <QString>
#include <array>
#include <optional>

// What the window shows of the LAME option sets. A set is named by its index: 0..4 the custom
// sets (menu items cs1..cs5), 5..9 the standard presets (fs1..fs5). The ten items form one
// radio group.
class ILameOptionsView
{
public:
    virtual ~ILameOptionsView() = default;
    virtual void setPresetTicked(int index, bool ticked) = 0;
    // Only the custom items change their captions and visibility.
    virtual void setPresetCaption(int index, const QString& caption) = 0;
    virtual void setPresetVisible(int index, bool visible) = 0;
    // The "Lame setting" label: its text and its hint.
    virtual void showLameSetting(const QString& text, const QString& hint) = 0;
};

// The ten LAME option sets, which one is chosen, and where they are kept: the settings
// store, the custom options table and the menu. Every change of the choice or of the custom
// sets is written at once, and a value still as it was read is written as it was stored; the
// writing calls return the store's error, empty on success.
class TLameOptionSets
{
public:
    static constexpr int SetCount = 10;
    static constexpr int CustomCount = TCustomOptionsTable::RowCount;

    // view: the window's items of the sets; none where no menu shows them (a terminal).
    TLameOptionSets(TSettingsStore store, ILameOptionsView* view);

    // Reads the custom sets and the chosen name (the user root, or the machine root when the
    // user root has no chosen name), fills the menu and the table, and ticks the first set of
    // the chosen name, which writes the sets back; with no such set it ticks none.
    [[nodiscard]] QString LoadLameOptions();
    // Takes the table's rows as the custom sets and writes them with the chosen name.
    [[nodiscard]] QString SaveLameOptions();
    // A click on item `index`: an item without a caption stands for no set and is ignored.
    [[nodiscard]] QString SelectPreset(int index);
    void UncheckAllPresets();
    void ShowCustomNames();
    void HideEmptyCustomItems();
    // The "custom settings" command: the modal table, then a warning per pair of equal names;
    // the set of the first selected row becomes the chosen one ("APS" for a row without a
    // name), and the sets are written and loaded again. Without a selected row the chosen set
    // stays as it was. Esc gives up the edits, not the choice.
    [[nodiscard]] QString OpenOptionsTable(IOptionsTableView& tableView);

    std::optional<int> TickedIndex() const { return m_ticked; }
    // Of the item 0..9.
    const QString& Caption(int index) const { return m_captions[size_t(index)]; }
    bool IsVisible(int index) const { return !Caption(index).isEmpty(); }
    const QString& ChosenOptionName() const { return m_chosenOptionName; }
    // "Lame setting : " and the name of the ticked set, if any.
    QString LameSettingText() const;
    // What the encoder gets: a blank and the option string of the ticked set, if any.
    QString CheckedPresetOptions() const;
    TCustomOptionsTable& Table() { return m_table; }

private:
    void FillTable();
    void TakeTableRows();
    // The custom sets and the chosen name as they go to the store.
    TSettingsStore::TValues StoredValues() const;
    QString CloseOptionsTable(const TTableEdit& edit, IOptionsTableView& tableView);
    QString NameOfFirstRow(const QList<int>& rows) const;

    TSettingsStore m_store;
    ILameOptionsView* m_view;
    TCustomOptionsTable m_table;
    std::array<QString, SetCount> m_optionNames;
    std::array<QString, SetCount> m_optionStrings;
    std::array<QString, SetCount> m_captions;
    QString m_chosenOptionName;
    std::optional<int> m_ticked;
    TValuesAsRead m_asRead;
};

#include "TLameOptionSets.h"

#include <algorithm>
#include <utility>

namespace {

const QString ChosenValue = QStringLiteral("lamename");
const QString DefaultChosenName = QStringLiteral("APS");
// The caption of a custom item before the first load, and the name a custom set gets when
// its stored name is of another type.
const QString PlaceholderName = QStringLiteral("empty");
const QString DuplicateNamesWarning =
    QStringLiteral("Warning! there are two equal \"Lame Option Names\"");

QString NameValue(int custom)
{
    return QStringLiteral("LameOptionName%1").arg(custom + 1);
}

QString StringValue(int custom)
{
    return QStringLiteral("LameOptionString%1").arg(custom + 1);
}

} // namespace

TLameOptionSets::TLameOptionSets(TSettingsStore store, ILameOptionsView* view)
    : m_store(std::move(store)), m_view(view), m_optionNames{{{},
                                                              {},
                                                              {},
                                                              {},
                                                              {},
                                                              QStringLiteral("128 kb cbr"),
                                                              QStringLiteral("192 kb vbr"),
                                                              QStringLiteral("APS"),
                                                              QStringLiteral("APX"),
                                                              QStringLiteral("Insane")}},
      m_optionStrings{{{},
                       {},
                       {},
                       {},
                       {},
                       QStringLiteral("--preset cbr 128"),
                       QStringLiteral("--preset 192"),
                       QStringLiteral("--preset standard"),
                       QStringLiteral("--preset extreme"),
                       QStringLiteral("--preset insane")}},
      m_captions(m_optionNames)
{
    std::fill_n(m_captions.begin(), CustomCount, PlaceholderName);
}

QString TLameOptionSets::LoadLameOptions()
{
    const TSettingsStore::TKey key = m_store.OpenForReading(ChosenValue);
    for (int k = 0; k < CustomCount; ++k) {
        m_optionNames[size_t(k)] = StringOr(key.readString(NameValue(k)), PlaceholderName);
        m_optionStrings[size_t(k)] = StringOr(key.readString(StringValue(k)), QString());
    }
    m_chosenOptionName = StringOr(key.readString(ChosenValue), QString());
    if (m_chosenOptionName.isEmpty())
        m_chosenOptionName = DefaultChosenName;
    m_asRead.Remember(key, StoredValues());
    ShowCustomNames();
    HideEmptyCustomItems();
    FillTable();
    const auto chosen = std::ranges::find(m_optionNames, m_chosenOptionName);
    if (chosen != m_optionNames.end())
        return SelectPreset(int(chosen - m_optionNames.begin()));
    UncheckAllPresets();
    return QString();
}

QString TLameOptionSets::SaveLameOptions()
{
    TakeTableRows();
    return m_store.Write(m_asRead.KeepUnchanged(StoredValues()));
}

TSettingsStore::TValues TLameOptionSets::StoredValues() const
{
    TSettingsStore::TValues values;
    for (int k = 0; k < CustomCount; ++k) {
        values.append({StringValue(k), m_optionStrings[size_t(k)]});
        values.append({NameValue(k), m_optionNames[size_t(k)]});
    }
    values.append({ChosenValue, m_chosenOptionName});
    return values;
}

QString TLameOptionSets::SelectPreset(int index)
{
    if (index < 0 || index >= SetCount || Caption(index).isEmpty())
        return QString();
    UncheckAllPresets();
    m_ticked = index;
    if (m_view) {
        m_view->setPresetTicked(index, true);
        m_view->showLameSetting(LameSettingText(), m_optionStrings[size_t(index)]);
    }
    m_chosenOptionName = m_optionNames[size_t(index)];
    return SaveLameOptions();
}

void TLameOptionSets::UncheckAllPresets()
{
    m_ticked.reset();
    for (int k = 0; m_view && k < SetCount; ++k)
        m_view->setPresetTicked(k, false);
}

void TLameOptionSets::ShowCustomNames()
{
    for (int k = 0; k < CustomCount; ++k) {
        m_captions[size_t(k)] = m_optionNames[size_t(k)];
        if (m_view)
            m_view->setPresetCaption(k, Caption(k));
    }
}

void TLameOptionSets::HideEmptyCustomItems()
{
    for (int k = 0; m_view && k < CustomCount; ++k)
        m_view->setPresetVisible(k, IsVisible(k));
}

QString TLameOptionSets::OpenOptionsTable(IOptionsTableView& tableView)
{
    m_table.Activate();
    return CloseOptionsTable(tableView.editOptionsTable(m_table), tableView);
}

QString TLameOptionSets::LameSettingText() const
{
    return QStringLiteral("Lame setting : ") +
           (m_ticked ? m_optionNames[size_t(*m_ticked)] : QString());
}

QString TLameOptionSets::CheckedPresetOptions() const
{
    return u' ' + (m_ticked ? m_optionStrings[size_t(*m_ticked)] : QString());
}

void TLameOptionSets::FillTable()
{
    for (int row = 0; row < CustomCount; ++row)
        m_table.SetRow(row, {m_optionNames[size_t(row)], m_optionStrings[size_t(row)]});
}

void TLameOptionSets::TakeTableRows()
{
    for (int row = 0; row < CustomCount; ++row) {
        TOptionRow cells = m_table.Row(row);
        m_optionNames[size_t(row)] = std::move(cells.Name);
        m_optionStrings[size_t(row)] = std::move(cells.Options);
    }
}

// What happens once the modal table is gone, whichever way the user left it.
QString TLameOptionSets::CloseOptionsTable(const TTableEdit& edit, IOptionsTableView& tableView)
{
    if (edit.Exit == TTableExit::Escape)
        m_table.RestoreCells();
    for (int pair = m_table.EqualNamePairs(); pair > 0; --pair)
        tableView.showWarning(DuplicateNamesWarning);
    // Without a row the user selected, the set chosen before stays chosen.
    if (!edit.SelectedRows.isEmpty()) {
        m_chosenOptionName = NameOfFirstRow(edit.SelectedRows);
        if (m_chosenOptionName.isEmpty())
            m_chosenOptionName = DefaultChosenName;
    }
    const QString saved = SaveLameOptions();
    const QString loaded = LoadLameOptions();
    return saved.isEmpty() ? loaded : saved;
}

// The name in the topmost of the rows; there is at least one.
QString TLameOptionSets::NameOfFirstRow(const QList<int>& rows) const
{
    return m_table.Row(*std::ranges::min_element(rows)).Name;
}

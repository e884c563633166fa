#include "TCustomOptionsTable.h"

#include <utility>

namespace {

bool IsRow(int row)
{
    return row >= 0 && row < TCustomOptionsTable::RowCount;
}

} // namespace

TOptionRow TCustomOptionsTable::Row(int row) const
{
    return IsRow(row) ? m_cells[size_t(row)] : TOptionRow{};
}

void TCustomOptionsTable::SetRow(int row, TOptionRow content)
{
    if (IsRow(row))
        m_cells[size_t(row)] = std::move(content);
}

void TCustomOptionsTable::Activate()
{
    m_undoCells = m_cells;
}

void TCustomOptionsTable::RestoreCells()
{
    m_cells = m_undoCells;
}

void TCustomOptionsTable::DeleteRow(int row)
{
    if (!IsRow(row))
        return;
    m_cells[size_t(row)] = {};
    for (int i = 0; i < RowCount - 1; ++i) {
        if (!m_cells[size_t(i)].Name.isEmpty())
            continue;
        for (int below = i; below < RowCount - 1; ++below)
            m_cells[size_t(below)] = m_cells[size_t(below) + 1];
        m_cells.back() = {};
    }
}

int TCustomOptionsTable::EqualNamePairs() const
{
    int pairs = 0;
    for (int i = 0; i < RowCount - 1; ++i) {
        const QString& name = m_cells[size_t(i)].Name;
        for (int j = i + 1; j < RowCount; ++j)
            pairs += !name.isEmpty() && m_cells[size_t(j)].Name == name;
    }
    return pairs;
}

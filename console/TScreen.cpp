#include "TScreen.h"

#include <vector>
#include <vterm.h>

TScreen::TScreen(int rows, int columns)
    : m_rows(rows), m_columns(columns), m_vterm(vterm_new(rows, columns))
{
    vterm_set_utf8(m_vterm, 1);
    m_screen = vterm_obtain_screen(m_vterm);
    vterm_screen_reset(m_screen, 1);
}

TScreen::~TScreen()
{
    vterm_free(m_vterm);
}

void TScreen::feed(const char* bytes, std::size_t size)
{
    vterm_input_write(m_vterm, bytes, size);
}

void TScreen::clear()
{
    vterm_screen_reset(m_screen, 1);
}

QStringList TScreen::rowTexts() const
{
    QStringList rows;
    rows.reserve(m_rows);
    for (int r = 0; r < m_rows; ++r)
        rows << rowText(r);
    return rows;
}

// libvterm reads a row as code points: a wide character once, combining marks after their
// base, unwritten cells as blanks up to the last written cell.
QString TScreen::rowText(int row) const
{
    std::vector<uint32_t> chars(static_cast<size_t>(m_columns) * VTERM_MAX_CHARS_PER_CELL);
    const VTermRect rect{row, row + 1, 0, m_columns};
    const size_t count = vterm_screen_get_chars(m_screen, chars.data(), chars.size(), rect);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.data()),
                             static_cast<qsizetype>(count));
}

static QString rightTrimmed(const QString& row)
{
    qsizetype end = row.size();
    while (end > 0 && row.at(end - 1).unicode() <= 32)
        --end;
    return row.left(end);
}

QStringList SnapshotRows(const QStringList& rowTexts)
{
    QStringList lines;
    lines.reserve(rowTexts.size());
    qsizetype lastNonBlank = 0;
    for (const QString& row : rowTexts) {
        lines << rightTrimmed(row);
        // After the right trim a row holds text exactly when it is not empty.
        if (!lines.last().isEmpty())
            lastNonBlank = lines.size() - 1;
    }
    if (!lines.isEmpty())
        lines.resize(lastNonBlank + 1);
    return lines;
}

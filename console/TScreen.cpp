#include "TScreen.h"

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

QString TScreen::rowText(int row) const
{
    QString text;
    text.reserve(m_columns);
    VTermPos pos{row, 0};
    while (pos.col < m_columns) {
        VTermScreenCell cell;
        if (!vterm_screen_get_cell(m_screen, pos, &cell) || cell.chars[0] == 0) {
            text += u' ';
            ++pos.col;
            continue;
        }
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) {
            const char32_t codePoint = cell.chars[i];
            text += QString::fromUcs4(&codePoint, 1);
        }
        pos.col += cell.width > 0 ? cell.width : 1;
    }
    return text;
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

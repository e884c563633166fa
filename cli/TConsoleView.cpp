#include "TConsoleView.h"

#include "LocalNames.h"
#include "TRunDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int BarWidth = 20;

QString Bar(int percent)
{
    const int filled = qBound(0, percent, 100) * BarWidth / 100;
    return QString(filled, u'#') + QString(BarWidth - filled, u'.');
}

// Size of the terminal the stream writes to; a wide and tall default when it does not say.
winsize TerminalSize(std::FILE* out)
{
    winsize size = {};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return {200, 265, 0, 0};
    return size;
}

int TerminalColumns(std::FILE* out)
{
    return TerminalSize(out).ws_col;
}

// A text as whole characters, so no cut can fall inside a surrogate pair.
using CodePoints = QList<uint>;

// Display columns of a character, as terminals count them: none for combining marks and
// invisible format characters, two for East Asian wide and fullwidth characters and the
// emoji blocks, one for the rest.
int CharColumns(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
        return 0;
    case QChar::Other_Format:
        return c == 0x00AD ? 1 : 0; // the soft hyphen shows
    default:
        break;
    }
    if (c >= 0x1160 && c <= 0x11FF) // Hangul vowels and finals join the syllable before
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || c == 0x2329 || c == 0x232A ||
                      (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE10 && c <= 0xFE19) ||
                      (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x2FFFD) ||
                      (c >= 0x30000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

int Columns(const CodePoints& text)
{
    int columns = 0;
    for (uint c : text)
        columns += CharColumns(c);
    return columns;
}

// The longest start of the text that takes at most `room` columns.
CodePoints LeftColumns(const CodePoints& text, int room)
{
    qsizetype end = 0;
    for (int used = 0; end < text.size(); ++end) {
        used += CharColumns(text[end]);
        if (used > room)
            break;
    }
    return text.first(end);
}

// The longest end of the text that takes at most `room` columns and does not start with a
// mark cut off from its character.
CodePoints RightColumns(const CodePoints& text, int room)
{
    qsizetype start = text.size();
    for (int used = 0; start > 0; --start) {
        used += CharColumns(text[start - 1]);
        if (used > room)
            break;
    }
    while (start < text.size() && CharColumns(text[start]) == 0)
        ++start;
    return text.sliced(start);
}

// At most `room` columns: the start and the end of the text around "…".
CodePoints ElideMiddle(const CodePoints& text, int room)
{
    if (Columns(text) <= room)
        return text;
    if (room < 1)
        return {};
    const int keep = room - 1;
    return LeftColumns(text, keep / 2) + CodePoints{0x2026} + RightColumns(text, keep - keep / 2);
}

} // namespace

TConsoleView::TConsoleView(std::FILE* out) : m_out(out), m_terminal(isatty(fileno(out)) != 0) {}

void TConsoleView::appendQueueEntry(const QString& path)
{
    m_queue << path;
}

// An entry leaves the queue when its job is over.
void TConsoleView::removeQueueEntry(qsizetype index)
{
    endProgressLine();
    m_queue.removeAt(index);
}

void TConsoleView::clearQueue()
{
    endProgressLine();
    m_queue.clear();
}

void TConsoleView::appendError(const QString& line)
{
    m_errors << line;
}

void TConsoleView::clearErrors()
{
    m_errors.clear();
}

void TConsoleView::setLabelText(TLabel label, const QString& text)
{
    m_labels[size_t(label)] = text;
    drawProgress();
}

void TConsoleView::setProgress(int percent)
{
    m_percent = percent;
    drawProgress();
}

void TConsoleView::processEvents()
{
    if (OnProcessEvents)
        OnProcessEvents();
}

void TConsoleView::showMessage(const QString& text)
{
    endProgressLine();
    std::fprintf(stderr, "quarlow-cli: %s\n", qPrintable(text));
}

QString TConsoleView::Printable(const QString& text)
{
    QString printable = DisplayPath(text);
    for (QChar& c : printable) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return printable;
}

QString TConsoleView::ProgressRow(const QString& stage, int percent, const QString& file,
                                  int columns)
{
    const CodePoints head =
        QStringLiteral("%1 [%2] %3%  ").arg(stage, -5).arg(Bar(percent)).arg(percent, 3).toUcs4();
    // The last column stays free: a row that fills it leaves the cursor waiting to wrap.
    const int room = columns - 1;
    const int headColumns = Columns(head);
    const CodePoints row = headColumns >= room
                               ? LeftColumns(head, room)
                               : head + ElideMiddle(file.toUcs4(), room - headColumns);
    QString text;
    for (uint c : row)
        text += QStringView(QChar::fromUcs4(c));
    return text;
}

QString TConsoleView::summary() const
{
    return m_labels[size_t(TLabel::BitRate)];
}

// The stage label reads "Flac :", "Ape :", "Lame :" while a tool runs.
QString TConsoleView::currentStage() const
{
    QString stage = m_labels[size_t(TLabel::Audio)];
    if (stage.endsWith(QStringLiteral(" :")))
        stage.chop(2);
    return stage;
}

void TConsoleView::drawProgress()
{
    const QString stage = currentStage();
    if (stage.isEmpty() || m_queue.isEmpty())
        return;
    const QString file = Printable(m_queue.first());
    if (m_terminal) {
        if (stage == m_shownStage && file == m_shownFile && m_percent == m_shownPercent)
            return;
        // Erase the row and write it again, in place. A row wider than the terminal would
        // wrap, and the erase reaches only its last part: the row is made to fit.
        std::fprintf(m_out, "\r\033[K%s",
                     qPrintable(ProgressRow(stage, m_percent, file, TerminalColumns(m_out))));
        m_lineOpen = true;
    } else if (stage != m_shownStage || file != m_shownFile) {
        std::fprintf(m_out, "%s: %s\n", qPrintable(stage), qPrintable(file));
    }
    std::fflush(m_out);
    m_shownStage = stage;
    m_shownFile = file;
    m_shownPercent = m_percent;
}

// A job is over: its line is finished, and the next job's stage is not known until the
// window names it.
void TConsoleView::endProgressLine()
{
    if (m_lineOpen)
        std::fputc('\n', m_out);
    std::fflush(m_out);
    m_lineOpen = false;
    m_labels[size_t(TLabel::Audio)].clear();
    m_shownStage.clear();
    m_shownFile.clear();
    m_shownPercent = -1;
}

void TConsoleView::jobStarted(int slot, const QString& source)
{
    if (m_jobRows.size() <= slot)
        m_jobRows.resize(slot + 1);
    m_jobRows[slot] = {QString(), 0, Printable(source)};
    drawJobs();
}

// Piped, each stage of a job is one line, as when the jobs run one after the other.
void TConsoleView::jobProgress(int slot, const QString& stage, int percent)
{
    TJobRow& row = m_jobRows[slot];
    if (!m_terminal && stage != row.Stage)
        writeLine(QStringLiteral("%1: %2").arg(stage, row.File));
    row.Stage = stage;
    row.Percent = percent;
    drawJobs();
}

// On a terminal the job's last row stays above the block of those still running.
void TConsoleView::jobEnded(int slot, const QString& source, bool)
{
    m_queue.removeOne(source);
    TJobRow& row = m_jobRows[slot];
    if (m_terminal && !row.Stage.isEmpty()) {
        eraseJobs();
        writeLine(ProgressRow(row.Stage, row.Percent, row.File, TerminalColumns(m_out)));
    }
    row = {};
    drawJobs();
}

void TConsoleView::showRun(int done, int total, qint64 elapsedMs)
{
    m_runRow = QStringLiteral("%1 of %2 files done  %3")
                   .arg(done)
                   .arg(total)
                   .arg(TRunDisplay::Duration(elapsedMs));
    drawJobs();
}

void TConsoleView::runEnded(const TRunTally&, qint64)
{
    eraseJobs();
}

void TConsoleView::drawJobs()
{
    if (!m_terminal)
        return;
    const winsize size = TerminalSize(m_out);
    const int columns = size.ws_col;
    // The block must fit on the screen, or the rows scrolled off could not be redrawn: the
    // run's row and as many jobs as there is room for.
    const int room = qMax(0, size.ws_row - 2);
    QStringList rows;
    for (const TJobRow& row : m_jobRows) {
        if (!row.File.isEmpty() && rows.size() < room)
            rows << ProgressRow(row.Stage.isEmpty() ? QStringLiteral("...") : row.Stage,
                                row.Percent, row.File, columns);
    }
    if (!m_runRow.isEmpty())
        rows << m_runRow.left(columns - 1);
    if (rows == m_drawnRows)
        return;
    eraseJobs();
    std::fputs(qPrintable(rows.join(u'\n')), m_out);
    std::fflush(m_out);
    m_drawnRows = rows;
}

// Clears the block's rows from the bottom up and leaves the cursor where its first row began.
void TConsoleView::eraseJobs()
{
    if (m_drawnRows.isEmpty())
        return;
    std::fputs("\r\033[K", m_out);
    for (qsizetype i = 1; i < m_drawnRows.size(); ++i)
        std::fputs("\033[A\r\033[K", m_out);
    m_drawnRows.clear();
}

void TConsoleView::writeLine(const QString& line)
{
    std::fprintf(m_out, "%s\n", qPrintable(line));
    std::fflush(m_out);
}

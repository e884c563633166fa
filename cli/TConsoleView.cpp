#include "TConsoleView.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int BarWidth = 20;

QString Bar(int percent)
{
    const int filled = qBound(0, percent, 100) * BarWidth / 100;
    return QString(filled, u'#') + QString(BarWidth - filled, u'.');
}

// Columns of the terminal the stream writes to; a wide default when it does not say.
int TerminalColumns(std::FILE* out)
{
    winsize size = {};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return 265;
    return size.ws_col;
}

// At most `room` characters: the start and the end of the text around "…".
QString ElideMiddle(const QString& text, int room)
{
    if (text.size() <= room)
        return text;
    if (room < 1)
        return QString();
    const int keep = room - 1;
    QString left = text.left(keep / 2);
    QString right = text.right(keep - keep / 2);
    // Never half of a character that takes two UTF-16 units.
    if (!left.isEmpty() && left.back().isHighSurrogate())
        left.chop(1);
    if (!right.isEmpty() && right.front().isLowSurrogate())
        right.remove(0, 1);
    return left + u'…' + right;
}

} // namespace

TConsoleView::TConsoleView(std::FILE* out) : m_out(out), m_terminal(isatty(fileno(out)) != 0) {}

void TConsoleView::appendQueueEntry(const QString& path)
{
    m_queue << path;
    ++m_queuedCount;
}

// The first entry is the job being worked on; it leaves the queue when the job is over.
void TConsoleView::removeFirstQueueEntry()
{
    endProgressLine();
    if (!m_queue.isEmpty())
        m_queue.removeFirst();
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

void TConsoleView::showTags(const QStringList&) {}

void TConsoleView::setLabelText(TLabel label, const QString& text)
{
    m_labels[size_t(label)] = text;
    drawProgress();
}

void TConsoleView::setDestinationColor(TColor) {}

// Paths are never shortened on a terminal.
int TConsoleView::destinationWidth() const
{
    return std::numeric_limits<int>::max();
}

int TConsoleView::destinationTextWidth(const QString& text) const
{
    return int(text.size());
}

void TConsoleView::setProgress(int percent)
{
    m_percent = percent;
    drawProgress();
}

void TConsoleView::setProgressColor(TColor) {}
void TConsoleView::setItemEnabled(TMenuItem, bool) {}
void TConsoleView::setItemTicked(TMenuItem, bool) {}
void TConsoleView::setHintEnabled(bool) {}
void TConsoleView::repaint() {}

void TConsoleView::processEvents()
{
    if (OnProcessEvents)
        OnProcessEvents();
}

void TConsoleView::setApplicationTitle(const QString&) {}
void TConsoleView::bringToFront(bool) {}

void TConsoleView::showMessage(const QString& text)
{
    endProgressLine();
    std::fprintf(stderr, "quarlow-cli: %s\n", qPrintable(text));
}

void TConsoleView::closeWindow() {}

QString TConsoleView::Printable(const QString& text)
{
    QString printable = text;
    for (QChar& c : printable) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return printable;
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
        // wrap, and the erase reaches only its last part: the name gives way in the middle.
        const QString head =
            QStringLiteral("%1 [%2] %3%  ").arg(stage, -5).arg(Bar(m_percent)).arg(m_percent, 3);
        const int room = TerminalColumns(m_out) - 1 - int(head.size());
        std::fprintf(m_out, "\r\033[K%s%s", qPrintable(head), qPrintable(ElideMiddle(file, room)));
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

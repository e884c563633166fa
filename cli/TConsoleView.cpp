#include "TConsoleView.h"

#include <unistd.h>

namespace {

constexpr int BarWidth = 20;

QString Bar(int percent)
{
    const int filled = qBound(0, percent, 100) * BarWidth / 100;
    return QString(filled, u'#') + QString(BarWidth - filled, u'.');
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
        // Erase the row and write it again, in place.
        std::fprintf(m_out, "\r\033[K%-5s [%s] %3d%%  %s", qPrintable(stage),
                     qPrintable(Bar(m_percent)), m_percent, qPrintable(file));
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

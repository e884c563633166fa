#include "TRunDisplay.h"

#include "IMainView.h"
#include "PathText.h"
#include "TJobQueue.h"

#include <cmath>

namespace {

const QString EncodeStage = QStringLiteral("Lame");
const QString Dot = QStringLiteral(" · ");

} // namespace

TRunDisplay::TRunDisplay(IMainView& view, IQueueRowsView& rows, const TJobQueue& queue)
    : m_view(view), m_rows(rows), m_queue(queue)
{}

void TRunDisplay::jobStarted(int slot, const QString& source)
{
    m_running[slot] = {source, QStringLiteral("Starting"), 0};
    ShowRow(m_running[slot]);
}

void TRunDisplay::jobProgress(int slot, const QString& stage, int percent)
{
    TShown& job = m_running[slot];
    job.Stage = stage;
    job.Percent = percent;
    ShowRow(job);
}

// The entry has left the queue, and so its row.
void TRunDisplay::jobEnded(int slot, const QString& /*source*/, bool /*ok*/)
{
    m_running.erase(slot);
}

void TRunDisplay::showRun(int done, int total, qint64 elapsedMs)
{
    const double progress = done + RunningFraction();
    const int percent = total > 0 ? int(progress * 100 / total) : 0;
    m_view.setProgress(percent);
    QString line = QStringLiteral("%1 running").arg(m_running.size()) + Dot +
                   QStringLiteral("%1 of %2 done").arg(done).arg(total) + Dot + Duration(elapsedMs);
    if (progress > 0 && total > progress)
        line += Dot + QStringLiteral("about %1 left")
                          .arg(Duration(qint64(elapsedMs * (total - progress) / progress)));
    m_view.setLabelText(TLabel::Version, line);
    m_view.setApplicationTitle(
        QStringLiteral("%1% · %2 of %3 done").arg(percent).arg(done).arg(total));
}

void TRunDisplay::runEnded(const TRunTally& tally, qint64 elapsedMs)
{
    m_view.setLabelText(TLabel::Version, EndLine(tally, elapsedMs));
    m_running.clear();
}

QString TRunDisplay::EndLine(const TRunTally& tally, qint64 elapsedMs, const QString& done)
{
    QString line = QStringLiteral("%1 %2").arg(tally.Converted).arg(done);
    if (tally.UpToDate != 0)
        line += QStringLiteral(", %1 up to date").arg(tally.UpToDate);
    if (tally.Failed != 0 || tally.NotStarted == 0)
        line += QStringLiteral(", %1 failed").arg(tally.Failed);
    if (tally.NotStarted != 0)
        line = QStringLiteral("cancelled: ") + line +
               QStringLiteral(", %1 not started").arg(tally.NotStarted);
    return line + QStringLiteral(" in ") + Duration(elapsedMs);
}

QString TRunDisplay::Duration(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return minutesAndSeconds;
    return QStringLiteral("%1:").arg(seconds / 3600) + minutesAndSeconds.rightJustified(5, u'0');
}

QString TRunDisplay::RowText(const QString& source, const QString& stage, int percent)
{
    return QStringLiteral("%1 %2% — %3").arg(stage).arg(percent).arg(FileNamePart(source));
}

void TRunDisplay::ShowRow(const TShown& job)
{
    for (qsizetype i = 0; i < m_queue.Count(); ++i) {
        if (m_queue.At(i).Path == job.Source) {
            m_rows.setQueueEntryText(i, RowText(job.Source, job.Stage, job.Percent));
            return;
        }
    }
}

double TRunDisplay::RunningFraction() const
{
    double fraction = 0;
    for (const auto& [slot, job] : m_running)
        fraction += (job.Stage == EncodeStage ? 0.5 : 0.0) + job.Percent / 200.0;
    return fraction;
}

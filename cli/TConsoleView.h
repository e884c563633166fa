#pragma once

#include "IJobsView.h"
#include "IRunView.h"

#include <QStringList>
#include <array>
#include <cstdio>
#include <functional>

// Shows the main window's logic on a terminal: one progress line per job (stage, file,
// percent), redrawn in place when the output is a terminal and written as plain lines
// otherwise; the error list is kept for the end of the run. When several jobs run at once, a
// terminal shows a row per running job and one for the run, each job's last row stays when it
// ends, and a line at the end counts what was done.
class TConsoleView : public IRunView, public IJobsView
{
public:
    explicit TConsoleView(std::FILE* out);

    void appendQueueEntry(const QString& path) override;
    void removeQueueEntry(qsizetype index) override;
    void clearQueue() override;
    void appendError(const QString& line) override;
    void clearErrors() override;
    void setLabelText(TLabel label, const QString& text) override;
    void setProgress(int percent) override;
    void processEvents() override;
    void showMessage(const QString& text) override;

    void jobStarted(int slot, const QString& source) override;
    void jobProgress(int slot, const QString& stage, int percent) override;
    void jobEnded(int slot, const QString& source, bool ok) override;
    void showRun(int done, int total, qint64 elapsedMs) override;
    // The block of running jobs gives way; the program prints the line that sums the run up.
    void runEnded(const TRunTally& tally, qint64 elapsedMs) override;

    // Called at every pump: where the program looks for the user's Ctrl+C.
    std::function<void()> OnProcessEvents;

    // The error list and the summary line, for the end of the run.
    const QStringList& errors() const { return m_errors; }
    QString summary() const;

    // A text safe to print on a terminal: control characters in a file name become "?", so
    // a name can never move the cursor or change the terminal's state.
    static QString Printable(const QString& text);

    // The progress row for a terminal `columns` wide: stage, bar, percent and the file. It
    // fills at most columns - 1 display columns (a wide character takes two), so it never
    // wraps: the file name gives way in the middle ("…"), and when even the head is too wide
    // the row is cut. No character is ever split.
    static QString ProgressRow(const QString& stage, int percent, const QString& file, int columns);

private:
    void drawProgress();
    void endProgressLine();
    QString currentStage() const;
    // The rows of the running jobs and of the run, drawn anew where they stand.
    void drawJobs();
    void eraseJobs();
    void writeLine(const QString& line);

    struct TJobRow
    {
        QString Stage;
        int Percent = 0;
        QString File; // empty while the slot is free
    };

    std::FILE* m_out;
    bool m_terminal;
    QStringList m_queue;
    QStringList m_errors;
    std::array<QString, 5> m_labels;
    int m_percent = 0;
    // What the progress line showed last, so a plain output writes each stage once.
    QString m_shownStage;
    QString m_shownFile;
    int m_shownPercent = -1;
    bool m_lineOpen = false;
    QList<TJobRow> m_jobRows;
    QString m_runRow;
    // The rows of the jobs' block on the terminal now; the cursor stands at the end of the last.
    QStringList m_drawnRows;
};

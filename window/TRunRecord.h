#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The record of one run: a plain text file in the records folder, named by the run's start
// time in UTC ("2026-12-10_15-25-57Z.txt"; "2026-12-10_15-25-57Z-2.txt" for a second run that
// starts in the same second), that only the user may read, in a folder only the user may
// enter. It is written line by line as the run goes, so a crash leaves the lines so far.
// Making a record removes the oldest records of the folder beyond the newest Kept; files of
// other names are never touched.
class TRunRecord
{
public:
    static constexpr int Kept = 50;

    // Makes a new record in folder, and folder when it is missing.
    TRunRecord(const QString& folder, const QDateTime& start);
    ~TRunRecord();
    TRunRecord(const TRunRecord&) = delete;
    TRunRecord& operator=(const TRunRecord&) = delete;

    // Adds the lines. The first failure (the record could not be made, a write failed) gives
    // its reason, once; from then on the record takes nothing more and gives nothing.
    [[nodiscard]] QString Write(const QStringList& lines);
    // The record's file; empty when it could not be made.
    const QString& Path() const { return m_path; }

    // $XDG_STATE_HOME/quarlow/runs, else ~/.local/state/quarlow/runs; empty without either.
    static QString Folder();
    // Whether a file's name is one a record is given.
    static bool IsRecordName(const QString& name);
    // The newest record in folder; empty when it holds none.
    static QString Newest(const QString& folder);

private:
    void Create(const QString& folder, const QString& stamp);
    static void Prune(const QString& folder);

    int m_fd = -1;
    QString m_path;
    // Why the record takes nothing, until that is told.
    QString m_problem;
};

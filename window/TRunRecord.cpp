#include "TRunRecord.h"

#include "FileSystem.h"
#include "LocalNames.h"

#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

const QString RecordsBelowState = QStringLiteral("/quarlow/runs");
const QString Extension = QStringLiteral(".txt");
// More runs than this in one second would be no person's.
constexpr int MaxSameSecond = 1000;

const QRegularExpression& RecordName()
{
    static const QRegularExpression name(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\dZ)(?:-(\\d{1,9}))?\\.txt$"));
    return name;
}

// Records in the order they were made: by their time, then by the number a second one of the
// same second got.
QPair<QString, int> Order(const QString& name)
{
    const QRegularExpressionMatch match = RecordName().match(name);
    return {match.captured(1), match.hasCaptured(2) ? match.captured(2).toInt() : 1};
}

QStringList RecordsOldestFirst(const QString& folder)
{
    QStringList names;
    for (const TFolderEntry& entry : FolderEntries(folder)) {
        if (entry.Kind == TPathKind::File && TRunRecord::IsRecordName(entry.Name))
            names << entry.Name;
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return Order(a) < Order(b); });
    return names;
}

} // namespace

TRunRecord::TRunRecord(const QString& folder, const QDateTime& start)
{
    if (!ForceFolders(folder, 0700)) {
        m_problem = QStringLiteral("cannot make the folder %1").arg(DisplayPath(folder));
        return;
    }
    Create(folder, start.toUTC().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + u'Z');
    Prune(folder);
}

TRunRecord::~TRunRecord()
{
    if (m_fd >= 0)
        close(m_fd);
}

void TRunRecord::Create(const QString& folder, const QString& stamp)
{
    int error = EEXIST;
    for (int number = 1; m_fd < 0 && error == EEXIST && number <= MaxSameSecond; ++number) {
        const QString path = folder + u'/' + stamp +
                             (number == 1 ? QString() : QStringLiteral("-%1").arg(number)) +
                             Extension;
        m_fd = CreatePrivateFile(path, &error);
        if (m_fd >= 0)
            m_path = path;
    }
    if (m_fd < 0)
        m_problem = QStringLiteral("cannot make a file in %1: %2")
                        .arg(DisplayPath(folder), ErrnoText(error));
}

void TRunRecord::Prune(const QString& folder)
{
    const QStringList records = RecordsOldestFirst(folder);
    for (qsizetype i = 0; i + Kept < records.size(); ++i)
        RemoveFile(folder + u'/' + records.at(i));
}

QString TRunRecord::Write(const QStringList& lines)
{
    if (m_fd >= 0) {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += PathBytes(line) + '\n';
        m_problem = WriteAll(m_fd, bytes);
        if (!m_problem.isEmpty()) {
            m_problem = QStringLiteral("cannot write %1: %2").arg(DisplayPath(m_path), m_problem);
            close(std::exchange(m_fd, -1));
        }
    }
    return std::exchange(m_problem, {});
}

QString TRunRecord::Folder()
{
    const QString state = UserStateFolder();
    return state.isEmpty() ? QString() : state + RecordsBelowState;
}

bool TRunRecord::IsRecordName(const QString& name)
{
    return RecordName().match(name).hasMatch();
}

QString TRunRecord::Newest(const QString& folder)
{
    const QStringList records = RecordsOldestFirst(folder);
    return records.isEmpty() ? QString() : folder + u'/' + records.last();
}

#include "RiffWave.h"

#include "FileSystem.h"

#include <QFile>

QString RiffWaveProblem(const QString& path)
{
    QFile file;
    // Only a regular file is opened: reading a pipe named like a WAV file would block.
    if (PathKind(path) != TPathKind::File || !OpenForReading(file, path))
        return QStringLiteral("cannot read the WAV file, so it was not encoded");
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return QStringLiteral("not a RIFF/WAVE file, so it was not encoded");
    return {};
}

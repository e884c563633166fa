#include "AdapterTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

void AppendLe32(QByteArray& bytes, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

void AppendLe16(QByteArray& bytes, quint16 value)
{
    char raw[2];
    qToLittleEndian(value, raw);
    bytes.append(raw, 2);
}

QByteArray WavHeader(quint32 dataBytes, int channels, int rate)
{
    const quint16 blockAlign = static_cast<quint16>(channels * 2);
    QByteArray header("RIFF");
    AppendLe32(header, 36 + dataBytes);
    header.append("WAVEfmt ");
    AppendLe32(header, 16);
    AppendLe16(header, 1);
    AppendLe16(header, static_cast<quint16>(channels));
    AppendLe32(header, static_cast<quint32>(rate));
    AppendLe32(header, static_cast<quint32>(rate) * blockAlign);
    AppendLe16(header, blockAlign);
    AppendLe16(header, 16);
    header.append("data");
    AppendLe32(header, dataBytes);
    return header;
}

} // namespace

void WriteSineWav(const QString& path, int seconds, int channels)
{
    constexpr int rate = 44100;
    // 441 Hz repeats every 100 samples, so one second of sound serves for every second.
    QByteArray second;
    for (int i = 0; i < rate; ++i) {
        const double phase = 2 * std::numbers::pi * 441 * i / rate;
        const auto sample = static_cast<qint16>(std::lround(8000 * std::sin(phase)));
        for (int c = 0; c < channels; ++c)
            AppendLe16(second, static_cast<quint16>(sample));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(WavHeader(static_cast<quint32>(second.size()) * seconds, channels, rate));
    for (int s = 0; s < seconds; ++s)
        file.write(second);
}

QString ToolFolder(const QString& tool)
{
    const QString path = QStandardPaths::findExecutable(tool);
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath() + u'/';
}

int RunTool(const QString& program, const QStringList& arguments, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitCode();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PrintTo(const PollCase& c, std::ostream* os)
{
    *os << c.name;
}

void ExpectPoll(TAudio& adapter, TAudio::Hook TAudio::*hook, const std::function<void()>& poll,
                const PollCase& c)
{
    THookCounter counter{.expectedSender = &adapter};
    adapter.*hook = counter.hook();
    adapter.Progress = 42;
    adapter.Cons.Lines = c.rows;
    poll();
    EXPECT_EQ(adapter.Progress, c.progress);
    EXPECT_EQ(adapter.ProgressSeen, c.seen);
    EXPECT_EQ(counter.calls, c.notifications);
    EXPECT_EQ(counter.wrongSenders, 0);
}

#include "TestMedia.h"

#include "FileSystem.h"
#include "LocalNames.h"
#include "PathText.h"
#include "TSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <fcntl.h>
#include <numbers>
#include <taglib/fileref.h>
#include <taglib/tag.h>

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

QByteArray SineWavBytes(int seconds, int channels)
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
    QByteArray wav =
        WavHeader(static_cast<quint32>(second.size()) * quint32(seconds), channels, rate);
    wav.reserve(wav.size() + second.size() * seconds);
    for (int s = 0; s < seconds; ++s)
        wav.append(second);
    return wav;
}

// By the names' bytes, so that a test can make and read files whose names are not UTF-8.
bool WriteFile(const QString& path, const QByteArray& bytes)
{
    if (!ForceFolders(FolderPart(path)))
        return false;
    const int fd =
        open(PathBytes(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    QFile file;
    return file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
           file.write(bytes) == bytes.size();
}

QByteArray ReadAll(const QString& path)
{
    QFile file;
    return OpenForReading(file, path) ? file.readAll() : QByteArray();
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

TSettingsStore TestStore(const QString& folder)
{
    return TSettingsStore(folder + QStringLiteral("/config/KPZ05.json"),
                          folder + QStringLiteral("/machine/KPZ05.json"));
}

TMp3Tags ReadMp3Tags(const QString& path)
{
    TagLib::FileRef file(PathBytes(path).constData());
    if (file.isNull() || !file.tag())
        return {};
    const TagLib::Tag* tag = file.tag();
    auto text = [](const TagLib::String& s) { return QString::fromStdString(s.to8Bit(true)); };
    const int seconds = file.audioProperties() ? file.audioProperties()->lengthInSeconds() : 0;
    return {text(tag->title()), text(tag->artist()), text(tag->album()), tag->track(), seconds};
}

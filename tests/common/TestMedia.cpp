#include "TestMedia.h"

#include "FileSystem.h"
#include "LocalNames.h"
#include "PathText.h"
#include "TSettingsStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <fcntl.h>
#include <numbers>
#include <sys/stat.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>

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

QString FromTagLib(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true));
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray chunk;
    char length[4];
    qToBigEndian(quint32(data.size()), length);
    chunk.append(length, 4);
    chunk.append(type + data);
    // CRC-32 of the type and the data, as zlib computes it.
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : type + data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    char sum[4];
    qToBigEndian(~crc, sum);
    chunk.append(sum, 4);
    return chunk;
}

// The key a reader looks a frame up by.
std::string FrameKey(const TagLib::ID3v2::Frame* frame)
{
    const TagLib::ByteVector id = frame->frameID();
    std::string key(id.data(), id.size());
    if (const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame))
        key += ":" + user->description().to8Bit(true);
    else if (const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame))
        key += ":" + comment->description().to8Bit(true);
    return key;
}

QString FrameText(const TagLib::ID3v2::Frame* frame)
{
    if (const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame))
        return FromTagLib(user->fieldList().size() > 1 ? user->fieldList()[1] : TagLib::String());
    if (const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame))
        return FromTagLib(comment->text());
    return FromTagLib(frame->toString());
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

std::map<std::string, QString> Id3v2Frames(const QString& mp3)
{
    std::map<std::string, QString> frames;
    TagLib::MPEG::File file(PathBytes(mp3).constData());
    if (!file.hasID3v2Tag())
        return frames;
    for (const TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameList()) {
        std::string key = FrameKey(frame);
        if (key == "TLEN" || key == "TSSE" || key == "APIC")
            continue;
        while (frames.count(key))
            key += " (again)";
        frames[key] = FrameText(frame);
    }
    return frames;
}

QByteArray Id3v2Cover(const QString& mp3)
{
    TagLib::MPEG::File file(PathBytes(mp3).constData());
    if (!file.hasID3v2Tag())
        return {};
    for (const TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameListMap()["APIC"]) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (picture) {
            const TagLib::ByteVector data = picture->picture();
            return QByteArray(data.data(), int(data.size()));
        }
    }
    return {};
}

QByteArray PngBytes(int width, int height)
{
    QByteArray header(13, '\0');
    qToBigEndian(quint32(width), header.data());
    qToBigEndian(quint32(height), header.data() + 4);
    header[8] = 8; // bits per sample
    header[9] = 2; // RGB
    QByteArray rows;
    for (int y = 0; y < height; ++y)
        rows += QByteArray(1, '\0') + QByteArray("\xC0\x40\x20").repeated(width);
    // qCompress puts the length in front of the zlib stream.
    const QByteArray pixels = qCompress(rows).mid(4);
    return QByteArray("\x89PNG\r\n\x1A\n") + PngChunk("IHDR", header) + PngChunk("IDAT", pixels) +
           PngChunk("IEND", QByteArray());
}

QString FfprobeWarnings(const QString& path)
{
    QString output;
    const int status = RunTool(QStringLiteral("ffprobe"),
                               {QStringLiteral("-v"), QStringLiteral("warning"), path}, &output);
    return status == 0 ? output
                       : QStringLiteral("ffprobe ended with %1: %2").arg(status).arg(output);
}

std::map<QString, std::pair<long long, QByteArray>> FilesWithTimes(const QString& folder)
{
    std::map<QString, std::pair<long long, QByteArray>> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st = {};
        stat(PathBytes(path).constData(), &st);
        files[QDir(folder).relativeFilePath(path)] = {
            st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, ReadAll(path)};
    }
    return files;
}

QStringList ChangedFiles(const std::map<QString, std::pair<long long, QByteArray>>& before,
                         const std::map<QString, std::pair<long long, QByteArray>>& after)
{
    QStringList changed;
    for (const auto& [name, file] : after) {
        const auto earlier = before.find(name);
        if (earlier == before.end() || earlier->second != file)
            changed << name;
    }
    return changed;
}

bool SetModifiedFrom(const QString& path, const QString& other, int seconds)
{
    struct stat st = {};
    if (stat(PathBytes(other).constData(), &st) != 0)
        return false;
    timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    times[1].tv_sec += seconds;
    return utimensat(AT_FDCWD, PathBytes(path).constData(), times, 0) == 0;
}

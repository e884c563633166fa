#include "RiffWave.h"

#include "FileSystem.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QString NotEncoded = QStringLiteral(", so it was not encoded");
const QString EndsBeforeData = QStringLiteral("the WAV file ends before its data chunk");

// "RIFF" (or "RF64", which LAME reads too), the size, "WAVE".
constexpr qint64 RiffHeaderBytes = 12;
constexpr qint64 ChunkHeaderBytes = 8;
// The fields every fmt chunk has, and an extensible one with its subformat.
constexpr qint64 FmtBytes = 16;
constexpr qint64 ExtensibleFmtBytes = 40;
// Real files have a handful of chunks before their audio; a file of thousands of tiny ones
// is not walked header by header to its end.
constexpr int MaxChunksBeforeData = 10000;

constexpr quint16 FormatPcm = 1;
constexpr quint16 FormatFloat = 3;
constexpr quint16 FormatALaw = 6;
constexpr quint16 FormatMuLaw = 7;
constexpr quint16 FormatExtensible = 0xFFFE;

// An extensible format names its subformat by a GUID whose first two bytes are the code of
// a plain format and whose other bytes are always these.
const QByteArray SubformatGuidTail = QByteArray::fromHex("000000001000800000aa00389b71");

// LAME resamples any rate it can hold as a signed 32-bit number; a file with another one it
// takes as raw samples.
constexpr quint32 MaxRate = std::numeric_limits<qint32>::max();

struct TWaveFormat
{
    quint16 Code = 0;
    quint16 Channels = 0;
    quint32 Rate = 0;
    quint16 BlockAlign = 0;
    quint16 Bits = 0;
};

quint16 Le16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 Le32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Exactly count bytes from offset at; nothing when the file ends before.
std::optional<QByteArray> ReadAt(QFile& file, qint64 at, qint64 count)
{
    if (!file.seek(at))
        return std::nullopt;
    QByteArray bytes = file.read(count);
    if (bytes.size() != count)
        return std::nullopt;
    return bytes;
}

// LAME gives up on a chunk whose name is not four printable characters; the rest of such a
// file is then read as raw samples.
bool IsChunkId(const QByteArray& id)
{
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

QString ChannelsText(int channels)
{
    return channels == 1 ? QStringLiteral("1 channel")
                         : QStringLiteral("%1 channels").arg(channels);
}

// The name of a format LAME reads; empty for any other code.
QString FormatName(quint16 code)
{
    switch (code) {
    case FormatPcm:
        return QStringLiteral("PCM");
    case FormatFloat:
        return QStringLiteral("floating point");
    case FormatALaw:
        return QStringLiteral("A-law");
    case FormatMuLaw:
        return QStringLiteral("mu-law");
    default:
        return {};
    }
}

bool SampleSizeFits(quint16 code, quint16 bits)
{
    switch (code) {
    case FormatPcm:
        return bits >= 1 && bits <= 32;
    case FormatFloat:
        return bits == 32 || bits == 64;
    default: // A-law and mu-law
        return bits == 8;
    }
}

// Takes the subformat's code in the place of an extensible format's; LAME reads PCM and
// floating point samples in this wrapping.
QString SubformatProblem(const QByteArray& fmt, TWaveFormat& format)
{
    if (fmt.size() < ExtensibleFmtBytes)
        return QStringLiteral("the WAV fmt chunk is too short");
    format.Code = Le16(fmt, 24);
    if (fmt.mid(26) != SubformatGuidTail ||
        (format.Code != FormatPcm && format.Code != FormatFloat))
        return QStringLiteral("the WAV audio format is extensible, with a subformat that is not "
                              "PCM or floating point");
    return {};
}

QString FormatProblem(const QByteArray& fmt, TWaveFormat& format)
{
    if (fmt.size() < FmtBytes)
        return QStringLiteral("the WAV fmt chunk is too short");
    format = {Le16(fmt, 0), Le16(fmt, 2), Le32(fmt, 4), Le16(fmt, 12), Le16(fmt, 14)};
    if (format.Code == FormatExtensible) {
        if (const QString problem = SubformatProblem(fmt, format); !problem.isEmpty())
            return problem;
    }
    const QString name = FormatName(format.Code);
    if (name.isEmpty())
        return QStringLiteral("the WAV audio format %1 is not PCM, floating point, A-law or mu-law")
            .arg(format.Code);
    if (format.Channels < 1 || format.Channels > 2)
        return QStringLiteral("the WAV audio has %1 where LAME takes 1 or 2")
            .arg(ChannelsText(format.Channels));
    if (format.Rate < 1 || format.Rate > MaxRate)
        return QStringLiteral("the WAV sample rate of %1 Hz is not one LAME takes")
            .arg(format.Rate);
    if (!SampleSizeFits(format.Code, format.Bits))
        return QStringLiteral("the WAV audio has %1-bit samples, which LAME does not read as %2")
            .arg(format.Bits)
            .arg(name);
    if (format.BlockAlign != format.Channels * ((format.Bits + 7) / 8))
        return QStringLiteral("the WAV block align of %1 bytes does not fit %2 of %3-bit samples")
            .arg(format.BlockAlign)
            .arg(ChannelsText(format.Channels))
            .arg(format.Bits);
    return {};
}

// A data size of 0xFFFFFFFF, or one larger than the file, is what a writer leaves that
// streamed the audio out and never came back to the header: the audio runs to the end of
// the file, as LAME reads it.
QString DataProblem(const TWaveFormat& format, qint64 declared, qint64 available)
{
    if (declared == 0)
        return QStringLiteral("the WAV data chunk is empty");
    if (std::min(declared, available) < format.BlockAlign)
        return QStringLiteral("the WAV data chunk holds no whole sample frame");
    return {};
}

// Reads the fmt chunk whose body starts at offset body into format.
QString FmtChunkProblem(QFile& file, qint64 body, qint64 size, std::optional<TWaveFormat>& format)
{
    if (format)
        return QStringLiteral("the WAV file has two fmt chunks");
    const std::optional<QByteArray> fmt = ReadAt(file, body, std::min(size, ExtensibleFmtBytes));
    if (!fmt)
        return EndsBeforeData;
    TWaveFormat read;
    const QString problem = FormatProblem(*fmt, read);
    format = read;
    return problem;
}

// Walks the chunks after the RIFF header up to the data chunk: each has an 8-byte header
// (name, little-endian size), and one of an odd size is followed by a padding byte.
QString ChunksProblem(QFile& file)
{
    const qint64 end = file.size();
    std::optional<TWaveFormat> format;
    qint64 at = RiffHeaderBytes;
    for (int chunk = 0;; ++chunk) {
        const std::optional<QByteArray> header = ReadAt(file, at, ChunkHeaderBytes);
        if (!header)
            return EndsBeforeData;
        if (!IsChunkId(header->left(4)))
            return QStringLiteral("the WAV file has a damaged chunk header at byte %1").arg(at);
        const qint64 size = Le32(*header, 4);
        const qint64 body = at + ChunkHeaderBytes;
        if (header->startsWith("data")) {
            if (!format)
                return QStringLiteral("the WAV file has no fmt chunk before its data chunk");
            return DataProblem(*format, size, end - body);
        }
        if (chunk == MaxChunksBeforeData)
            return QStringLiteral("the WAV file has more than %1 chunks before its data chunk")
                .arg(MaxChunksBeforeData);
        if (header->startsWith("fmt ")) {
            if (const QString problem = FmtChunkProblem(file, body, size, format);
                !problem.isEmpty())
                return problem;
        }
        at = body + size + (size & 1);
    }
}

QString WaveProblem(const QString& path)
{
    QFile file;
    if (!OpenForReading(file, path))
        return QStringLiteral("cannot read the WAV file");
    const QByteArray head = file.read(RiffHeaderBytes);
    if (head.size() < RiffHeaderBytes || (!head.startsWith("RIFF") && !head.startsWith("RF64")) ||
        head.mid(8, 4) != "WAVE")
        return QStringLiteral("not a RIFF/WAVE file");
    return ChunksProblem(file);
}

} // namespace

QString RiffWaveProblem(const QString& path)
{
    const QString problem = WaveProblem(path);
    return problem.isEmpty() ? problem : problem + NotEncoded;
}

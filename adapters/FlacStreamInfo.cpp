#include "FlacStreamInfo.h"

#include "FileSystem.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr qint64 Id3v2HeaderBytes = 10;
constexpr char Id3v2FooterFlag = 0x10;
// "fLaC", the first block's header (its type 0 is STREAMINFO) and the block itself.
constexpr qint64 StreamInfoEnd = 4 + 4 + 34;
// Sample rate (20 bits), channels - 1 (3), bits per sample - 1 (5), total samples (36).
constexpr qsizetype FieldsAt = 8 + 10;

// flac writes a plain header for 8- and 16-bit samples on one or two channels and an
// extensible one for any other audio, and refuses a stream whose WAV file, with the data
// chunk's padding byte, would be larger than this.
constexpr std::uint64_t PlainHeaderBytes = 44;
constexpr std::uint64_t ExtensibleHeaderBytes = 68;
constexpr std::uint64_t LargestWavFile = 0xFFFFFFFB;

// Where the FLAC stream starts: after an ID3v2 tag, whose size is in 7-bit bytes.
qint64 StreamStart(const QByteArray& head)
{
    if (head.size() < Id3v2HeaderBytes || !head.startsWith("ID3"))
        return 0;
    qint64 size = 0;
    for (int i = 6; i < Id3v2HeaderBytes; ++i)
        size = (size << 7) | (head.at(i) & 0x7f);
    const bool footer = head.at(5) & Id3v2FooterFlag;
    return Id3v2HeaderBytes + size + (footer ? Id3v2HeaderBytes : 0);
}

} // namespace

std::optional<TFlacStreamInfo> ReadFlacStreamInfo(const QString& path)
{
    QFile file;
    if (!OpenForReading(file, path) || !file.seek(StreamStart(file.read(Id3v2HeaderBytes))))
        return std::nullopt;
    const QByteArray block = file.read(StreamInfoEnd);
    if (block.size() < StreamInfoEnd || !block.startsWith("fLaC") || (block.at(4) & 0x7f) != 0)
        return std::nullopt;
    const auto fields = qFromBigEndian<std::uint64_t>(block.constData() + FieldsAt);
    return TFlacStreamInfo{fields & ((std::uint64_t(1) << 36) - 1),
                           unsigned((fields >> 41) & 7) + 1, unsigned((fields >> 36) & 31) + 1};
}

bool NeedsRf64(const TFlacStreamInfo& info)
{
    const bool plain = info.Channels <= 2 && (info.BitsPerSample == 8 || info.BitsPerSample == 16);
    const std::uint64_t data = info.TotalSamples * info.Channels * ((info.BitsPerSample + 7) / 8);
    return (plain ? PlainHeaderBytes : ExtensibleHeaderBytes) + data + (data & 1) > LargestWavFile;
}

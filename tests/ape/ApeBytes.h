#pragma once

// Builders for the bytes at the end of a Monkey's Audio file: ID3v1 tags, APE items and
// footers, and a small APE stream header the stand-in `mac` reads its audio format from.

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QString>
#include <QtEndian>
#include <cstdint>

inline QByteArray Le32(std::uint32_t value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray Le16(std::uint16_t value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// The text cut or zero-padded to exactly `width` bytes.
inline QByteArray Padded(const QByteArray& text, int width)
{
    QByteArray field = text.left(width);
    field.append(QByteArray(width - field.size(), '\0'));
    return field;
}

// The 30 comment bytes of an ID3v1.1 tag: 28 bytes of comment, a zero byte, the track.
inline QByteArray Id3v11Comment(const QByteArray& comment, unsigned char track)
{
    return Padded(comment, 28) + QByteArray(1, '\0') + QByteArray(1, char(track));
}

// The 30 comment bytes of an ID3v1.0 tag.
inline QByteArray Id3v10Comment(const QByteArray& comment)
{
    return Padded(comment, 30);
}

struct Id3Fields
{
    QByteArray title = "Id3 Title";
    QByteArray artist = "Id3 Artist";
    QByteArray album = "Id3 Album";
    QByteArray year = "1999";
    QByteArray comment = Id3v11Comment("Id3 Comment", 7);
    unsigned char genre = 17;
};

// A 128-byte ID3v1 tag.
inline QByteArray Id3Tag(const Id3Fields& fields = {})
{
    return "TAG" + Padded(fields.title, 30) + Padded(fields.artist, 30) + Padded(fields.album, 30) +
           Padded(fields.year, 4) + Padded(fields.comment, 30) + QByteArray(1, char(fields.genre));
}

// One APE item; `declaredLength` overrides the value length written in front of it.
inline QByteArray ApeItem(const QByteArray& key, const QByteArray& value,
                          std::int64_t declaredLength = -1)
{
    const auto length = std::uint32_t(declaredLength < 0 ? value.size() : declaredLength);
    return Le32(length) + Le32(0) + key + QByteArray(1, '\0') + value;
}

inline QByteArray ApeFooter(std::uint32_t tagSize, std::uint32_t itemCount)
{
    return "APETAGEX" + Le32(2000) + Le32(tagSize) + Le32(itemCount) + Le32(0) +
           QByteArray(8, '\0');
}

// Items followed by a footer that states their true size and the given count.
inline QByteArray ApeTag(const QList<QByteArray>& items, std::uint32_t itemCount)
{
    const QByteArray body = items.join();
    return body + ApeFooter(std::uint32_t(body.size() + 32), itemCount);
}

// Items followed by a footer that states their true size and count.
inline QByteArray ApeTag(const QList<QByteArray>& items)
{
    return ApeTag(items, std::uint32_t(items.size()));
}

// Stands for the audio stream in front of the tags.
inline QByteArray Audio(int bytes = 300)
{
    QByteArray audio(bytes, '\x55');
    audio.replace(0, 4, "MAC ");
    return audio;
}

// A Monkey's Audio 3.99 file that declares `blocks` samples per channel of 16-bit stereo at
// 44.1 kHz, with `frameBytes` bytes of frame data and a good MD5 over them.
inline QByteArray ApeStream(std::uint32_t blocks, int frameBytes = 1000)
{
    const QByteArray wavHeader = "RIFF" + Le32(36 + blocks * 4) + "WAVEfmt " + Le32(16) + Le16(1) +
                                 Le16(2) + Le32(44100) + Le32(44100 * 4) + Le16(4) + Le16(16) +
                                 "data" + Le32(blocks * 4);
    const QByteArray header = Le16(2000) + Le16(0) + Le32(blocks) + Le32(blocks) + Le32(1) +
                              Le16(16) + Le16(2) + Le32(44100);
    const QByteArray seekTable = Le32(0);
    QByteArray frames(frameBytes, '\x5a');
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(wavHeader);
    md5.addData(frames);
    md5.addData(header);
    md5.addData(seekTable);
    const QByteArray descriptor =
        "MAC " + Le16(3990) + Le16(0) + Le32(52) + Le32(std::uint32_t(header.size())) +
        Le32(std::uint32_t(seekTable.size())) + Le32(std::uint32_t(wavHeader.size())) +
        Le32(std::uint32_t(frames.size())) + Le32(0) + Le32(0) + md5.result();
    return descriptor + header + seekTable + wavHeader + frames;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

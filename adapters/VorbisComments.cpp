#include "VorbisComments.h"

#include "FileSystem.h"

#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/tfilestream.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

namespace {

QString FromTagLib(const TagLib::String& text)
{
    return QString::fromStdWString(text.toWString());
}

// The picture marked as the front cover, else the first one.
TCoverArt FrontCover(TagLib::FLAC::File& file)
{
    const TagLib::List<TagLib::FLAC::Picture*> pictures = file.pictureList();
    if (pictures.isEmpty())
        return {};
    const TagLib::FLAC::Picture* chosen = pictures.front();
    for (const TagLib::FLAC::Picture* picture : pictures) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover) {
            chosen = picture;
            break;
        }
    }
    const TagLib::ByteVector data = chosen->data();
    const QString origin =
        chosen->type() == TagLib::FLAC::Picture::FrontCover
            ? QStringLiteral("the FLAC front cover picture")
            : QStringLiteral("the first FLAC picture (type %1)").arg(int(chosen->type()));
    return CoverFromImage(origin, QByteArray(data.data(), int(data.size())));
}

} // namespace

// TagLib opens a file by its name for writing as well, which wakes every watcher of the
// user's file and waits for ever on a pipe: it is handed a read-only stream of a regular file
// instead.
QMap<QString, QStringList> ReadVorbisComments(const QString& path, TCoverArt* cover)
{
    QMap<QString, QStringList> comments;
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return comments;
    // The stream takes the descriptor over once it has opened it.
    TagLib::FileStream stream(fd, true);
    if (!stream.isOpen()) {
        close(fd);
        return comments;
    }
    // The audio properties are not needed; reading them would scan the stream.
    TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid())
        return comments;
    if (cover)
        *cover = FrontCover(file);
    if (!file.hasXiphComment())
        return comments;
    const TagLib::Ogg::FieldListMap fields = file.xiphComment()->fieldListMap();
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        QStringList& values = comments[FromTagLib(field->first).toUpper()];
        for (const TagLib::String& value : field->second)
            values.append(FromTagLib(value));
    }
    return comments;
}

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

} // namespace

// TagLib opens a file by its name for writing as well, which wakes every watcher of the
// user's file and waits for ever on a pipe: it is handed a read-only stream of a regular file
// instead.
QMap<QString, QStringList> ReadVorbisComments(const QString& path)
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
    if (!file.isValid() || !file.hasXiphComment())
        return comments;
    const TagLib::Ogg::FieldListMap fields = file.xiphComment()->fieldListMap();
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        QStringList& values = comments[FromTagLib(field->first).toUpper()];
        for (const TagLib::String& value : field->second)
            values.append(FromTagLib(value));
    }
    return comments;
}

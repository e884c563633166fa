#include "VorbisComments.h"

#include "LocalNames.h"

#include <taglib/flacfile.h>
#include <taglib/xiphcomment.h>

namespace {

QString FromTagLib(const TagLib::String& text)
{
    return QString::fromStdWString(text.toWString());
}

} // namespace

QMap<QString, QStringList> ReadVorbisComments(const QString& path)
{
    QMap<QString, QStringList> comments;
    const QByteArray name = PathBytes(path);
    // The audio properties are not needed; reading them would scan the stream.
    TagLib::FLAC::File file(name.constData(), false);
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

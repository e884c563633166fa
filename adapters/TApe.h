#pragma once

#include "ApeTagReader.h"
#include "TAudio.h"

#include <cstdint>

// The adapter for Monkey's Audio sources. It runs the decoder `mac` from DecoderFolder to
// learn its version and to decode a file to WAV, reading progress and errors from the
// screen; the tags it reads itself from the end of the file.
class TApe : public TAudio
{
public:
    TApe();

    QString GetVersion() override;
    bool ConvertToWav(const QString& sourcePath, const QString& wavPath) override;
    // Fills the tag members from the file's ID3v1 and APE tags; true when it has either.
    bool ReadTags(const QString& sourcePath) override;

    // Runs the tool without arguments and cuts the version out of its banner row.
    QString ProbeVersion(const QString& toolPath);
    std::int8_t ReadFileTags(const QString& file);
    void ApePoll(TCons* sender);
    bool HasErrorCode() const;

    // ID3v1 genre number -> name; the last entry, for every number above 147, is empty.
    QStringList GenreNames;
    std::int8_t TagKind = TagKindNone;
};

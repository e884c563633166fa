#pragma once

#include "TAudio.h"

// Adapter for FLAC sources: flac (in DecoderFolder) tells its version and decodes, read from
// the screen it leaves; the tags are read from the file's Vorbis comments.
class TFlac : public TAudio
{
public:
    TFlac();

    QString GetVersion() override;
    bool ConvertToWav(const QString& sourcePath, const QString& wavPath) override;
    bool ReadTags(const QString& sourcePath) override;

    // Runs flac without arguments and returns the version from its banner, or the missing
    // tool text when flac cannot be started.
    QString ProbeVersion(const QString& toolPath);
    // Whether any row on the screen holds one of flac's error-code texts.
    bool HasErrorCode() const;

    static const QString MissingToolText;

protected:
    // Poll callback of the decode run: progress rows, the end row and error rows.
    void FlacPoll(TCons* sender);
    QString FlacCommandLine(const QString& sourcePath, const QString& wavPath) const;
    // The version in flac's banner: the second row's text after "decoder version ", or the
    // whole row when the marker is missing; empty when there is no second row.
    static QString VersionFromBanner(const QStringList& rows);
};

#pragma once

#include "GenreTable.h"

#include "TCons.h"

#include <QString>
#include <QStringList>

#include <functional>

// Base of the codec adapters. One adapter serves one job (or one probe): it reads the
// source's tags, decodes it to WAV with its decoder and encodes the WAV to MP3 with LAME,
// telling its owner through OnProgress / OnEncodeProgress while a tool runs.
class TAudio
{
public:
    using Hook = std::function<void(TAudio* sender)>;

    TAudio();
    virtual ~TAudio();
    TAudio(const TAudio&) = delete;
    TAudio& operator=(const TAudio&) = delete;

    virtual QString GetVersion();
    virtual bool ConvertToWav(const QString& sourcePath, const QString& wavPath);
    virtual bool ReadTags(const QString& sourcePath);

    void SetLameFolder(const QString& folder);
    void SetDecoderFolder(const QString& folder);
    QString GetLameVersion();
    QString ProbeLameVersion(const QString& lamePath);
    bool CaptureLameHelp();
    bool Encode(const QString& wavPath, const QString& mp3Path);
    QString MakeTempWavName();
    static QString DecodeUtf8(const QByteArray& bytes);

    QString Mp3File;
    int Progress = 0;
    TCons Cons;
    QStringList TagNames;
    QString SourceFile;
    QString Title, Artist, Album, TrackNr, Date, Genre, Comment;
    QString LameOptions;
    bool Cancel = false;
    bool HasTags = false;
    GenreTable Genres;
    QStringList HelpLines;
    QStringList ToolOutput;
    QString DecoderVersion;
    QStringList TagValues;
    QString LameVersion;
    QString LameFolder;
    QString DecoderFolder;
    bool ProgressSeen = true;
    Hook OnProgress;
    Hook OnEncodeProgress;

protected:
    void LamePoll(TCons* sender);
    // Fills the seven tag members from TagValues.
    void TakeTagValues();
    void Notify(const Hook& hook);
};

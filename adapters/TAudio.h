#pragma once

#include "CoverArt.h"
#include "FileSystem.h"
#include "GenreTable.h"
#include "TCons.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// Base of the codec adapters. One adapter serves one job (or one probe): it reads the
// source's tags, decodes it to WAV with its decoder and encodes the WAV to MP3 with LAME,
// telling its owner through OnProgress / OnEncodeProgress while a tool runs.
//
// Operations that run a tool return true when the tool was started and has ended, whatever
// it printed; the caller judges the work from ToolOutput. Nothing here throws.
class TAudio
{
public:
    using Hook = std::function<void(TAudio* sender)>;

    TAudio();
    virtual ~TAudio();
    TAudio(const TAudio&) = delete;
    TAudio& operator=(const TAudio&) = delete;

    // The decoder's version text; "0" for an adapter without a decoder.
    virtual QString GetVersion();
    // Decodes the source into the WAV file; false for an adapter without a decoder.
    virtual bool ConvertToWav(const QString& sourcePath, const QString& wavPath);
    // Reads the source's tags into the seven tag members; false when there are none to read.
    virtual bool ReadTags(const QString& sourcePath);

    // Folders end with "/"; a tool's path is the folder followed by its file name.
    void SetLameFolder(const QString& folder);
    void SetDecoderFolder(const QString& folder);
    // Probes LAME in LameFolder (when set) and returns the version found, empty when none.
    QString GetLameVersion();
    QString ProbeLameVersion(const QString& lamePath);
    // Fills HelpLines with the screen LAME's long help leaves.
    bool CaptureLameHelp();
    // Encodes the WAV file into the MP3 file with LameOptions and, when HasTags, the tags.
    bool Encode(const QString& wavPath, const QString& mp3Path);
    // Creates a new, empty, uniquely named file "~TT..." in TempFolder (the system's
    // temporary folder when that is empty): its path, or the reason why none could be made.
    TMade MakeTempWav();
    // MakeTempWav's path; empty when no file could be created.
    QString MakeTempWavName();
    // Sets Cancel and hands it to the runner at once: a stop request then ends the running
    // tool without waiting for its next poll, also a run without a poll callback (a tag
    // read, a version probe).
    void SetCancel(bool cancel);
    // UTF-8 tag text: stops at the first byte that breaks the encoding or at a sequence cut
    // off by the end, and returns what was decoded up to there.
    static QString DecodeUtf8(const QByteArray& bytes);
    // The tag list: the seven fields, then those of the others the source has.
    QStringList TagListLines() const;

    QString Mp3File;
    int Progress = 0;
    TCons Cons;
    QStringList TagNames;
    QString SourceFile;
    QString Title, Artist, Album, TrackNr, Date, Genre, Comment;
    // Read besides the seven, where the source has them. A track or disc number given as
    // "3/12" is split into the number and the total.
    QString AlbumArtist, TrackTotal, DiscNr, DiscTotal, Composer;
    QString TrackGain, TrackPeak, AlbumGain, AlbumPeak;
    TCoverArt Cover;
    QString LameOptions;
    // The stop request; a job on a worker thread is stopped from the thread that runs it.
    std::atomic<bool> Cancel = false;
    bool HasTags = false;
    GenreTable Genres;
    QStringList HelpLines;
    QStringList ToolOutput;
    // The decoder's version text. A decode asks the tool for it first unless whoever made the
    // adapter has set it: a job takes the one its run already found, so that a library of
    // files is not one extra tool start per file.
    QString DecoderVersion;
    QStringList TagValues;
    QString LameVersion;
    QString LameFolder;
    QString DecoderFolder;
    QString TempFolder;
    bool ProgressSeen = true;
    // The cover image LAME reads during an encode; removed when the encode ends.
    QString CoverFile;
    Hook OnProgress;
    Hook OnEncodeProgress;

    // Cut lengths of the tag values handed to LAME.
    static constexpr qsizetype LongTagLength = 255;
    static constexpr qsizetype TrackLength = 8;
    static constexpr qsizetype GenreLength = 64;
    static constexpr qsizetype DateLength = 16;

protected:
    // Poll callback of the encode run: reads LAME's progress row and its error rows.
    void LamePoll(TCons* sender);
    QString LameCommandLine(const QString& wavPath, const QString& mp3Path) const;
    // The ID3 options of the fields the source has, each value one quoted piece.
    QString TagOptions() const;
    // Writes the cover into TempFolder for LAME; on failure the cover is left out and
    // Cover.Problem says why.
    void WriteCoverFile();
    // The version in LAME's banner row: the text after " version ", up to " (http:", at
    // most 11 characters; a row without " version " is returned whole.
    static QString LameVersionFromBanner(const QString& row);

    // Fills the seven tag members from TagValues.
    void TakeTagValues();
    // The field names, upper-case, that the other tag members are read from.
    static QStringList OtherTagNames();
    // Fills the other tag members from the values the source holds under their names (a
    // value of "0" counts as none); true when it has any of them.
    bool TakeOtherTags(const std::function<QString(const QString& name)>& valueOf);
    // The picture the source holds, or else the image beside it; HasTags once there is one.
    void TakeCover(const TCoverArt& embedded, const QString& sourcePath);
    // A tag value as one line of text: a control character (newline, tab, escape) becomes
    // a blank, so that no value can break the tag list or an ID3 text apart.
    static QString OneLine(QString value);
    void Notify(const Hook& hook);
    // The first two steps of every poll callback: no new progress yet, pass on a stop request.
    void BeginPoll();
    // Runs a probe with no poll callback: a banner or help screen carries no progress, and a
    // probe must not remove a job's MP3. A stop request (Cons.Abort) still ends it. The
    // installed callback stays.
    bool RunUnwatched(const QString& title, const QString& commandLine, const QString& workDir);
    // ToolOutput after a run of `tool`: the screen's rows and, when the tool did not end
    // with status 0, a last row saying how it ended; or the reason when the tool could not
    // start (the runner then still holds the rows of an earlier run of some other tool).
    void TakeToolOutput(bool started, const QString& tool);
    // Makes a decoder's target file writable and deletes it before the decoder writes it
    // anew; what is left in the way is for the tool to report.
    static void RemoveTarget(const QString& path);
    // TempFolder, or the system's temporary folder when that is empty.
    QString TemporaryFolder() const;
};

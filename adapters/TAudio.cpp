#include "TAudio.h"

#include "CommandLine.h"
#include "FileSystem.h"
#include "LocalNames.h"
#include "ScreenRows.h"
#include "ToolNames.h"

#include <QDir>
#include <QRegularExpression>
#include <cerrno>
#include <optional>
#include <utility>

namespace {

const QStringList LameErrorKeywords = {
    QStringLiteral("usage:"),
    QStringLiteral("unrec option "),
    QStringLiteral("unrecognized option "),
    QStringLiteral("Error:"),
    QStringLiteral("Unknown genre"),
    QStringLiteral("excess arg"),
};

constexpr int TagSlots = 8;

// LAME's progress row: frames done, "/", frames in all (blank at first), the percentage in
// parentheses and the first column bar: "   100/767   (13%)|    0:00/ ...". Only a row of
// that shape is progress; a row echoing a file name such as "Remix (0%).mp3" never is.
std::optional<int> ReadLameProgress(const QString& row)
{
    static const QRegularExpression shape(QStringLiteral(R"(^\s*\d+/\d*\s*\(\s*(\d+)%\)\|)"));
    const QRegularExpressionMatch match = shape.match(row);
    if (!match.hasMatch())
        return std::nullopt;
    return ReadWholeNumber(match.capturedView(1));
}

// LAME keeps only a year that is a plain number, and taggers commonly write a date
// ("2024-05-06", "2024-05"): LAME gets the year that starts such a date.
QString YearForLame(const QString& date)
{
    static const QRegularExpression datedYear(QStringLiteral("^([0-9]{4})[^0-9]"));
    const QRegularExpressionMatch match = datedYear.match(date);
    return match.hasMatch() ? match.captured(1) : date;
}

// An option for a field the source has; nothing for one it lacks, so that LAME writes no
// empty frame.
QString TagOption(const char* option, const QString& value, qsizetype length)
{
    if (value.isEmpty())
        return QString();
    return QLatin1String(option) + QuoteArgument(CutText(value, length));
}

// An ID3v2 frame LAME has no option of its own for: "--tv FRAME=value".
QString FrameOption(const char* frame, const QString& value,
                    qsizetype length = TAudio::LongTagLength)
{
    if (value.isEmpty())
        return QString();
    return QStringLiteral(" --tv ") +
           QuoteArgument(QLatin1String(frame) + u'=' + CutText(value, length));
}

// "3" and "12" give "3/12"; a number without a total stays as it is.
QString WithTotal(const QString& number, const QString& total)
{
    return total.isEmpty() ? number : number + u'/' + total;
}

QString NoneForZero(const QString& value)
{
    return value == u"0" ? QString() : value;
}

// A number given as "3/12": the number stays, the total goes to its own field unless the
// source names it there.
void SplitTotal(QString& number, QString& total)
{
    const qsizetype slash = number.indexOf(u'/');
    if (slash < 0)
        return;
    if (total.isEmpty())
        total = NoneForZero(number.mid(slash + 1).trimmed());
    number = NoneForZero(number.left(slash).trimmed());
}

// The fields read besides the seven: the member, the names sources hold it under and its
// name in the tag list.
struct TOtherTag
{
    QString TAudio::*Member;
    QStringList Names;
    const char* ListName;
};

const QList<TOtherTag>& OtherTags()
{
    static const QList<TOtherTag> tags = {
        {&TAudio::AlbumArtist,
         {QStringLiteral("ALBUMARTIST"), QStringLiteral("ALBUM ARTIST"),
          QStringLiteral("ALBUM_ARTIST")},
         "Albumartist"},
        {&TAudio::TrackTotal,
         {QStringLiteral("TRACKTOTAL"), QStringLiteral("TOTALTRACKS")},
         "Tracktotal"},
        {&TAudio::DiscNr, {QStringLiteral("DISCNUMBER"), QStringLiteral("DISC")}, "Discnr"},
        {&TAudio::DiscTotal,
         {QStringLiteral("DISCTOTAL"), QStringLiteral("TOTALDISCS")},
         "Disctotal"},
        {&TAudio::Composer, {QStringLiteral("COMPOSER")}, "Composer"},
        {&TAudio::TrackGain, {QStringLiteral("REPLAYGAIN_TRACK_GAIN")}, "Trackgain"},
        {&TAudio::TrackPeak, {QStringLiteral("REPLAYGAIN_TRACK_PEAK")}, "Trackpeak"},
        {&TAudio::AlbumGain, {QStringLiteral("REPLAYGAIN_ALBUM_GAIN")}, "Albumgain"},
        {&TAudio::AlbumPeak, {QStringLiteral("REPLAYGAIN_ALBUM_PEAK")}, "Albumpeak"},
    };
    return tags;
}

} // namespace

TAudio::TAudio()
    : TagNames{QStringLiteral("Title"), QStringLiteral("Artist"),   QStringLiteral("Track"),
               QStringLiteral("Album"), QStringLiteral("Comment"),  QStringLiteral("Genre"),
               QStringLiteral("Year"),  QStringLiteral("Copyright")},
      Genres(SharedGenreTable())
{
    TagValues.resize(TagSlots);
}

TAudio::~TAudio() = default;

QString TAudio::GetVersion()
{
    return QStringLiteral("0");
}

bool TAudio::ConvertToWav(const QString& /*sourcePath*/, const QString& /*wavPath*/)
{
    return false;
}

bool TAudio::ReadTags(const QString& /*sourcePath*/)
{
    return false;
}

void TAudio::SetLameFolder(const QString& folder)
{
    LameFolder = folder;
}

void TAudio::SetDecoderFolder(const QString& folder)
{
    DecoderFolder = folder;
}

QString TAudio::GetLameVersion()
{
    if (!LameFolder.isEmpty())
        LameVersion = ProbeLameVersion(ToolPath(LameFolder, LameTool));
    return LameVersion;
}

QString TAudio::ProbeLameVersion(const QString& lamePath)
{
    const QString tool = AbsoluteToolPath(lamePath);
    if (!RunUnwatched(QString(), QuoteArgument(tool), FolderOf(tool)))
        return QString();
    return LameVersionFromBanner(Cons.Lines.value(0));
}

QString TAudio::LameVersionFromBanner(const QString& row)
{
    static const QString versionMark = QStringLiteral(" version ");
    const qsizetype at = row.indexOf(versionMark);
    if (at < 0)
        return row;
    QString version = row.mid(at + versionMark.size());
    const qsizetype http = version.indexOf(QStringLiteral(" (http:"));
    if (http >= 0)
        version.truncate(http);
    return version.left(11);
}

bool TAudio::CaptureLameHelp()
{
    HelpLines.clear();
    const bool started =
        RunUnwatched(QStringLiteral("HELP"),
                     QuoteArgument(ToolPath(LameFolder, LameTool)) + " --longhelp", LameFolder);
    if (started)
        HelpLines = Cons.Lines;
    return started;
}

QString TAudio::LameCommandLine(const QString& wavPath, const QString& mp3Path) const
{
    const QString tags = HasTags ? TagOptions() : QString();
    QString line = QuoteArgument(ToolPath(FolderOf(LameFolder), LameTool));
    if (!tags.isEmpty())
        line += QStringLiteral(" --add-id3v2");
    return line + QStringLiteral(" --nohist") + LameOptions + u' ' + QuoteArgument(wavPath) + u' ' +
           QuoteArgument(mp3Path) + tags;
}

QString TAudio::TagOptions() const
{
    const QString track = TrackNr.isEmpty() ? QString() : WithTotal(TrackNr, TrackTotal);
    const QString disc = DiscNr.isEmpty() ? QString() : WithTotal(DiscNr, DiscTotal);
    // LAME 3.100 writes the ID3v2 frame of --tc with an empty description that lacks its
    // byte-order mark, which readers reject; the COMM frame given next takes its place, and
    // --tc still fills the ID3v1 comment.
    return TagOption(" --tt ", Title, LongTagLength) + TagOption(" --ta ", Artist, LongTagLength) +
           TagOption(" --tn ", track, TrackLength) + TagOption(" --tl ", Album, LongTagLength) +
           TagOption(" --tc ", Comment, LongTagLength) + FrameOption("COMM=", Comment) +
           TagOption(" --tg ", Genre, GenreLength) +
           TagOption(" --ty ", YearForLame(Date), DateLength) + FrameOption("TPE2", AlbumArtist) +
           FrameOption("TPOS", disc, TrackLength) + FrameOption("TCOM", Composer) +
           FrameOption("TXXX=REPLAYGAIN_TRACK_GAIN", TrackGain) +
           FrameOption("TXXX=REPLAYGAIN_TRACK_PEAK", TrackPeak) +
           FrameOption("TXXX=REPLAYGAIN_ALBUM_GAIN", AlbumGain) +
           FrameOption("TXXX=REPLAYGAIN_ALBUM_PEAK", AlbumPeak) +
           (CoverFile.isEmpty() ? QString() : QStringLiteral(" --ti ") + QuoteArgument(CoverFile));
}

// An embedded picture goes to the adapter's temporary folder (in a job the run's private
// one) for the run of LAME and is removed with it.
bool TAudio::Encode(const QString& wavPath, const QString& mp3Path)
{
    Mp3File = mp3Path;
    WriteCoverFile();
    Cons.OnPoll = [this](TCons* sender) { LamePoll(sender); };
    const bool started =
        Cons.Execute(QStringLiteral("Mp3 conversion"), LameCommandLine(wavPath, mp3Path), false,
                     FolderOf(LameFolder));
    TakeToolOutput(started, LameTool);
    RemoveFile(std::exchange(CoverFile, {}));
    return started;
}

void TAudio::WriteCoverFile()
{
    if (!HasTags || !Cover.Usable())
        return;
    const TMade made = WriteCoverImage(TemporaryFolder(), Cover.Image);
    CoverFile = made.Path;
    if (CoverFile.isEmpty())
        Cover.Problem = QStringLiteral("%1 could not be handed to LAME (%2): the MP3 has no cover")
                            .arg(Cover.Origin, made.Error);
}

// The whole screen is read at every poll. LAME redraws its progress row in place, so the
// first row with "%" is its current progress; rows below it (the histogram) are not read.
void TAudio::LamePoll(TCons* /*sender*/)
{
    BeginPoll();
    // LAME may still hold the file open: a failed removal is retried at the next poll.
    if (Cancel && FileExists(Mp3File))
        RemoveFile(Mp3File);
    const QStringList rows = Cons.Lines;
    QString lastRow;
    for (const QString& row : rows) {
        lastRow = row;
        if (const std::optional<int> value = ReadLameProgress(row)) {
            Progress = *value;
            if (*value > 0) {
                ProgressSeen = true;
                Notify(OnEncodeProgress);
            }
            break;
        }
        if (ContainsAny(row, LameErrorKeywords))
            Notify(OnEncodeProgress);
    }
    if (lastRow.contains(QStringLiteral("100%"))) {
        Progress = 100;
        Notify(OnEncodeProgress);
    }
}

TMade TAudio::MakeTempWav()
{
    const QString folder = TemporaryFolder();
    if (folder.isEmpty())
        return {{}, ErrnoText(ENOENT)};
    return CreateUniqueFile(folder, QStringLiteral("~TT"), QStringLiteral(".wav"));
}

QString TAudio::MakeTempWavName()
{
    return MakeTempWav().Path;
}

// The system's temporary folder reads empty when it does not exist: never fall back to "/".
QString TAudio::TemporaryFolder() const
{
    return TempFolder.isEmpty() ? QDir::tempPath() : TempFolder;
}

QString TAudio::DecodeUtf8(const QByteArray& bytes)
{
    QString text;
    for (qsizetype at = 0; at < bytes.size();) {
        const TUtf8Char c = Utf8CharAt(bytes, at);
        if (c.Length == 0)
            break;
        text += QStringView(QChar::fromUcs4(c.Code));
        at += c.Length;
    }
    return text;
}

void TAudio::SetCancel(bool cancel)
{
    Cancel = cancel;
    Cons.Abort = cancel;
}

void TAudio::TakeTagValues()
{
    Title = OneLine(TagValues.value(0));
    Artist = OneLine(TagValues.value(1));
    TrackNr = OneLine(TagValues.value(2));
    Album = OneLine(TagValues.value(3));
    Comment = OneLine(TagValues.value(4));
    Genre = OneLine(TagValues.value(5));
    Date = OneLine(TagValues.value(6));
}

QStringList TAudio::OtherTagNames()
{
    QStringList names;
    for (const TOtherTag& tag : OtherTags())
        names += tag.Names;
    return names;
}

bool TAudio::TakeOtherTags(const std::function<QString(const QString& name)>& valueOf)
{
    bool found = false;
    for (const TOtherTag& tag : OtherTags()) {
        for (const QString& name : tag.Names) {
            const QString value = NoneForZero(OneLine(valueOf(name)));
            if (!value.isEmpty()) {
                this->*tag.Member = value;
                found = true;
                break;
            }
        }
    }
    SplitTotal(TrackNr, TrackTotal);
    SplitTotal(DiscNr, DiscTotal);
    return found;
}

void TAudio::TakeCover(const TCoverArt& embedded, const QString& sourcePath)
{
    Cover = embedded.Found() ? embedded : CoverBesideSource(sourcePath);
    HasTags = HasTags || Cover.Found();
}

QStringList TAudio::TagListLines() const
{
    QStringList lines = {
        QStringLiteral("Title\t= ") + Title,     QStringLiteral("Artist\t= ") + Artist,
        QStringLiteral("Tracknr\t= ") + TrackNr, QStringLiteral("Album\t= ") + Album,
        QStringLiteral("Comment\t= ") + Comment, QStringLiteral("Genre\t= ") + Genre,
        QStringLiteral("Date\t= ") + Date};
    for (const TOtherTag& tag : OtherTags()) {
        if (const QString& value = this->*tag.Member; !value.isEmpty())
            lines.append(QLatin1String(tag.ListName) + QStringLiteral("\t= ") + value);
    }
    if (Cover.Found())
        lines.append(QStringLiteral("Cover\t= ") + CoverText(Cover));
    return lines;
}

QString TAudio::OneLine(QString value)
{
    for (QChar& c : value) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return value;
}

void TAudio::Notify(const Hook& hook)
{
    if (hook)
        hook(this);
}

void TAudio::BeginPoll()
{
    ProgressSeen = false;
    Cons.Abort = Cancel.load();
}

bool TAudio::RunUnwatched(const QString& title, const QString& commandLine, const QString& workDir)
{
    const TCons::PollHook installed = std::exchange(Cons.OnPoll, nullptr);
    const bool started = Cons.Execute(title, commandLine, false, workDir);
    Cons.OnPoll = installed;
    return started;
}

void TAudio::TakeToolOutput(bool started, const QString& tool)
{
    if (!started) {
        ToolOutput = QStringList{Cons.startError()};
        return;
    }
    ToolOutput = Cons.Lines;
    if (!Cons.endedCleanly())
        ToolOutput.append(Cons.endRow(tool));
}

void TAudio::RemoveTarget(const QString& path)
{
    if (!FileExists(path))
        return;
    ClearReadOnly(path);
    RemoveFile(path);
}

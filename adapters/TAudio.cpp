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

QString TagOption(const char* option, const QString& value, qsizetype length)
{
    return QLatin1String(option) + QuoteArgument(CutText(value, length));
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
    QString line = QuoteArgument(ToolPath(FolderOf(LameFolder), LameTool));
    if (HasTags)
        line += QStringLiteral(" --add-id3v2");
    line += QStringLiteral(" --nohist") + LameOptions + u' ' + QuoteArgument(wavPath) + u' ' +
            QuoteArgument(mp3Path);
    if (!HasTags)
        return line;
    // The source's comment is never passed on: the comment option always stays empty.
    return line + TagOption(" --tt ", Title, LongTagLength) +
           TagOption(" --ta ", Artist, LongTagLength) + TagOption(" --tn ", TrackNr, TrackLength) +
           TagOption(" --tl ", Album, LongTagLength) + TagOption(" --tc ", QString(), 0) +
           TagOption(" --tg ", Genre, GenreLength) +
           TagOption(" --ty ", YearForLame(Date), DateLength);
}

bool TAudio::Encode(const QString& wavPath, const QString& mp3Path)
{
    Mp3File = mp3Path;
    Cons.OnPoll = [this](TCons* sender) { LamePoll(sender); };
    const bool started =
        Cons.Execute(QStringLiteral("Mp3 conversion"), LameCommandLine(wavPath, mp3Path), false,
                     FolderOf(LameFolder));
    TakeToolOutput(started, LameTool);
    return started;
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
    // The temporary folder reads empty when it does not exist: never fall back to "/".
    const QString folder = TempFolder.isEmpty() ? QDir::tempPath() : TempFolder;
    if (folder.isEmpty())
        return {{}, ErrnoText(ENOENT)};
    return CreateUniqueFile(folder, QStringLiteral("~TT"), QStringLiteral(".wav"));
}

QString TAudio::MakeTempWavName()
{
    return MakeTempWav().Path;
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

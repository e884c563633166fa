#include "TFlac.h"

#include "CommandLine.h"
#include "FlacStreamInfo.h"
#include "ScreenRows.h"
#include "ToolNames.h"
#include "VorbisComments.h"

#include <QFile>

namespace {

const QStringList FlacErrorCodes = {
    QStringLiteral("*** Got error code 0:"),     QStringLiteral("*** Got error code 1:"),
    QStringLiteral("*** Got error code 2:"),     QStringLiteral("*** Got error code 3:"),
    QStringLiteral("*** Got error code 4:"),     QStringLiteral("*** Got error code 5:"),
    QStringLiteral("*** Got error code 6:"),     QStringLiteral("*** Got error code 7:"),
    QStringLiteral("*** Got error code 8:"),     QStringLiteral("*** Got error code 9:"),
    QStringLiteral("WARNING, cannot check MD5"),
};

const QStringList FlacErrorWords = {QStringLiteral("invalid"), QStringLiteral("ERROR")};

// flac 1.1.0 has no -f, and refuses an option it does not know.
const QString VersionWithoutForce = QStringLiteral("1.1.0");

// The tags ReadTags matches: TagNames 0..6 ("Copyright" is not asked for).
constexpr int MatchedTags = 7;

// A field a file holds several times (two artists) gives one value.
const QString ValueSeparator = QStringLiteral("; ");

// flac's progress row reads "NAME: 45% complete"; the figure follows the nearest ":" before
// the "%", so a colon earlier in the name does not count.
std::optional<int> ReadFlacProgress(const QString& row)
{
    const qsizetype percentAt = row.indexOf(QStringLiteral("% complete"));
    if (percentAt < 0)
        return std::nullopt;
    return FigureBefore(row, percentAt, u':');
}

} // namespace

const QString TFlac::MissingToolText = FlacTool + " and/or " + MetaflacTool + " not found";

TFlac::TFlac()
{
    TagNames[2] = QStringLiteral("tracknumber");
    TagNames[6] = QStringLiteral("date");
}

QString TFlac::GetVersion()
{
    if (DecoderFolder.isEmpty())
        return QStringLiteral("0");
    DecoderVersion = ProbeVersion(ToolPath(DecoderFolder, FlacTool));
    return DecoderVersion;
}

QString TFlac::ProbeVersion(const QString& toolPath)
{
    const QString tool = AbsoluteToolPath(toolPath);
    if (!RunUnwatched(QStringLiteral("Getting Flac version"), QuoteArgument(tool), FolderOf(tool)))
        return MissingToolText;
    return VersionFromBanner(Cons.Lines);
}

QString TFlac::VersionFromBanner(const QStringList& rows)
{
    static const QString mark = QStringLiteral("decoder version ");
    const QString row = rows.value(1);
    const qsizetype at = row.indexOf(mark);
    return at < 0 ? row : row.mid(at + mark.size());
}

QString TFlac::FlacCommandLine(const QString& sourcePath, const QString& wavPath) const
{
    QString line = QuoteArgument(ToolPath(DecoderFolder, FlacTool)) + QStringLiteral(" -d");
    if (DecoderVersion != VersionWithoutForce)
        line += QStringLiteral(" -f");
    // A stream too long for a WAV file goes through an RF64 file, which LAME reads as well;
    // every other one through a plain WAV file, as always.
    if (const std::optional<TFlacStreamInfo> info = ReadFlacStreamInfo(sourcePath);
        info && NeedsRf64(*info))
        line += QStringLiteral(" --force-rf64-format");
    return line + u' ' + QuoteArgument(sourcePath) + QStringLiteral(" -o ") +
           QuoteArgument(wavPath);
}

bool TFlac::ConvertToWav(const QString& sourcePath, const QString& wavPath)
{
    if (DecoderVersion.isEmpty())
        DecoderVersion = ProbeVersion(ToolPath(DecoderFolder, FlacTool));
    RemoveTarget(wavPath);
    // A missing or unusable flac is found by the start itself, whose reason ToolOutput keeps.
    Cons.OnPoll = [this](TCons* sender) { FlacPoll(sender); };
    const bool started = Cons.Execute(QStringLiteral("Conversion to WAV"),
                                      FlacCommandLine(sourcePath, wavPath), false, DecoderFolder);
    TakeToolOutput(started, FlacTool);
    return started;
}

// The tags come from the file itself, not from metaflac's screen: a row of that screen can
// be cut by its width, and a newline or escape sequence in one value would change others.
bool TFlac::ReadTags(const QString& sourcePath)
{
    HasTags = false;
    TCoverArt cover;
    const QMap<QString, QStringList> comments = ReadVorbisComments(sourcePath, &cover);
    for (int i = 0; i < MatchedTags; ++i) {
        const QStringList values = comments.value(TagNames.at(i).toUpper());
        if (values.isEmpty())
            continue;
        HasTags = true;
        const QString value = values.join(ValueSeparator);
        TagValues[i] = value == u"0" ? QString() : value;
    }
    TakeTagValues();
    const bool others = TakeOtherTags(
        [&comments](const QString& name) { return comments.value(name).join(ValueSeparator); });
    HasTags = HasTags || others;
    TakeCover(cover, sourcePath);
    return HasTags;
}

bool TFlac::HasErrorCode() const
{
    return AnyRowContainsAny(Cons.Lines, FlacErrorCodes);
}

// The whole screen is read at every poll; flac redraws its progress row in place with
// backspaces and replaces it with "NAME: done" at the end.
void TFlac::FlacPoll(TCons* /*sender*/)
{
    BeginPoll();
    const QStringList rows = Cons.Lines;
    const bool errorCode = HasErrorCode();
    int best = 0;
    for (const QString& row : rows) {
        if (const std::optional<int> value = ReadFlacProgress(row)) {
            Progress = *value;
            if (*value > best) {
                ProgressSeen = true;
                best = *value;
                Notify(OnProgress);
            }
        } else if (row.contains(QStringLiteral(": done"))) {
            Progress = 100;
            Notify(OnProgress);
        } else if (ContainsAny(row, FlacErrorWords) || errorCode) {
            Notify(OnProgress);
        }
    }
}

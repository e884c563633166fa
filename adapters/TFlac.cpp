#include "TFlac.h"

#include "CommandLine.h"
#include "ScreenRows.h"
#include "ToolNames.h"

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

// Tags are asked for in this order; metaflac prints one NAME=value row for each it finds.
const QString ShowTags = QStringLiteral(" --show-tag=ARTIST --show-tag=TITLE --show-tag=TRACKNUMBER"
                                        " --show-tag=ALBUM --show-tag=COMMENT"
                                        " --show-tag=GENRE --show-tag=DATE");

// flac 1.1.0 has no -f, and refuses an option it does not know.
const QString VersionWithoutForce = QStringLiteral("1.1.0");

// The tags ReadTags matches: TagNames 0..6 ("Copyright" is not asked for).
constexpr int MatchedTags = 7;

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
    return line + u' ' + QuoteArgument(sourcePath) + QStringLiteral(" -o ") +
           QuoteArgument(wavPath);
}

bool TFlac::ConvertToWav(const QString& sourcePath, const QString& wavPath)
{
    DecoderVersion = ProbeVersion(ToolPath(DecoderFolder, FlacTool));
    RemoveTarget(wavPath);
    // A missing or unusable flac is found by the start itself, whose reason ToolOutput keeps.
    Cons.OnPoll = [this](TCons* sender) { FlacPoll(sender); };
    const bool started = Cons.Execute(QStringLiteral("Conversion to WAV"),
                                      FlacCommandLine(sourcePath, wavPath), false, DecoderFolder);
    TakeToolOutput(started, FlacTool);
    return started;
}

bool TFlac::ReadTags(const QString& sourcePath)
{
    HasTags = false;
    const QString line = QuoteArgument(ToolPath(DecoderFolder, MetaflacTool)) + u' ' +
                         QuoteArgument(sourcePath) + ShowTags;
    const bool started =
        Cons.Execute(QStringLiteral("Extraction of Tags"), line, false, DecoderFolder);
    // A run that could not start has no rows of its own: the runner still holds an earlier
    // run's screen, which must not be read as tags.
    if (started)
        TakeTagRows(Cons.Lines);
    TakeTagValues();
    return started;
}

void TFlac::TakeTagRows(const QStringList& rows)
{
    for (const QString& row : rows) {
        HasTags = !row.isEmpty();
        const qsizetype equals = row.indexOf(u'=');
        const QString name = equals < 0 ? row : row.left(equals);
        QString value = equals < 0 ? row : row.mid(equals + 1);
        if (value == QStringLiteral("0"))
            value.clear();
        const QString lowerName = name.toLower();
        for (int i = 0; i < MatchedTags; ++i) {
            if (lowerName == TagNames.at(i).toLower()) {
                TagValues[i] = value;
                break;
            }
        }
    }
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

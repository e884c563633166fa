#include "TApe.h"

#include "CommandLine.h"
#include "ScreenRows.h"
#include "ToolNames.h"

#include <QFile>
#include <optional>

namespace {

const QString ProgressMarker = QStringLiteral("Progress: ");
const QString UsageMarker = QStringLiteral("Proper Usage:");

// "Progress: 45.2% (1.6 seconds remaining, ...)" gives 45. The marker is expected at the
// start of the row; the figure ends at the first dot, or one character before the end.
std::optional<int> ProgressFigure(const QString& line)
{
    const QString rest = line.mid(ProgressMarker.size());
    if (rest.isEmpty())
        return std::nullopt;
    const qsizetype dot = rest.left(rest.size() - 1).indexOf(QLatin1Char('.'));
    const QString figure = dot >= 0 ? rest.left(dot) : rest.chopped(1);
    return ReadWholeNumber(figure);
}

} // namespace

TApe::TApe() : GenreNames(GenreNumbering(Genres))
{
    GenreNames.append(QString());
}

QString TApe::GetVersion()
{
    if (DecoderFolder.isEmpty())
        return QStringLiteral("0");
    DecoderVersion = ProbeVersion(ToolPath(DecoderFolder, MacTool));
    return DecoderVersion;
}

QString TApe::ProbeVersion(const QString& toolPath)
{
    const QString tool = AbsoluteToolPath(toolPath);
    if (!RunUnwatched(QString(), QuoteArgument(tool), FolderOf(tool)))
        return MacTool + QStringLiteral(" not found");
    if (Cons.Lines.isEmpty())
        return QString();
    QString version = Cons.Lines.first();
    const QString start = QStringLiteral("End (v ");
    const qsizetype at = version.indexOf(start);
    if (at >= 0)
        version.remove(0, at + start.size());
    const qsizetype end = version.indexOf(QStringLiteral(") (c) M"));
    if (end >= 0)
        version.truncate(end);
    return version;
}

bool TApe::ConvertToWav(const QString& sourcePath, const QString& wavPath)
{
    const QString tool = ToolPath(DecoderFolder, MacTool);
    if (DecoderVersion.isEmpty())
        DecoderVersion = ProbeVersion(tool);
    RemoveTarget(wavPath);
    // A missing or unusable mac is found by the start itself, whose reason ToolOutput keeps.
    const QString commandLine = QuoteArgument(tool) + QLatin1Char(' ') + QuoteArgument(sourcePath) +
                                QLatin1Char(' ') + QuoteArgument(wavPath) + QStringLiteral(" -d");
    Cons.OnPoll = [this](TCons* sender) { ApePoll(sender); };
    const bool started =
        Cons.Execute(QStringLiteral("Conversion to WAV"), commandLine, false, DecoderFolder);
    TakeToolOutput(started, MacTool);
    return started;
}

// The whole screen is read again at every poll. Every rising figure notifies; a usage row,
// and every row of a screen that shows an error code, notify as well.
void TApe::ApePoll(TCons* /*sender*/)
{
    BeginPoll();
    const QStringList lines = Cons.Lines;
    const bool errorScreen = HasErrorCode();
    int best = 0;
    for (const QString& line : lines) {
        if (!line.contains(ProgressMarker)) {
            if (line.contains(UsageMarker) || errorScreen)
                Notify(OnProgress);
            continue;
        }
        const std::optional<int> figure = ProgressFigure(line);
        if (!figure)
            continue;
        Progress = *figure;
        if (Progress > best) {
            ProgressSeen = true;
            best = Progress;
            Notify(OnProgress);
        }
    }
}

bool TApe::HasErrorCode() const
{
    static const QStringList codes = [] {
        QStringList texts;
        for (int code = 1000; code <= 1009; ++code)
            texts.append(QStringLiteral("Error: %1").arg(code));
        return texts;
    }();
    return AnyRowContainsAny(Cons.Lines, codes);
}

bool TApe::ReadTags(const QString& sourcePath)
{
    TagKind = ReadFileTags(sourcePath);
    return HasTags;
}

std::int8_t TApe::ReadFileTags(const QString& file)
{
    TApeTagReader reader(TagNames + OtherTagNames(), GenreNames);
    const std::int8_t kind = reader.ReadFileTags(file);
    HasTags = reader.HasTags;
    if (HasTags) {
        TagValues = reader.Values.mid(0, TagNames.size());
        TakeTagValues();
        TakeOtherTags([&reader](const QString& name) { return reader.Value(name); });
    }
    TakeCover(reader.Cover, file);
    return kind;
}

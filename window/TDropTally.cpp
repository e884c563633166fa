#include "TDropTally.h"

#include "ToolNames.h"

namespace {

constexpr std::array<TSourceKind, 3> Kinds = {TSourceKind::Flac, TSourceKind::Ape,
                                              TSourceKind::Wav};

QString KindName(TSourceKind kind)
{
    switch (kind) {
    case TSourceKind::Flac:
        return QStringLiteral("FLAC");
    case TSourceKind::Ape:
        return QStringLiteral("APE");
    case TSourceKind::Wav:
        break;
    }
    return QStringLiteral("WAV");
}

// The decoder a kind needs; none for WAV.
QString Decoder(TSourceKind kind)
{
    switch (kind) {
    case TSourceKind::Flac:
        return FlacTool;
    case TSourceKind::Ape:
        return MacTool;
    case TSourceKind::Wav:
        break;
    }
    return {};
}

// Why the rules took no file of this kind.
QString Refused(TSourceKind kind)
{
    if (kind == TSourceKind::Wav)
        return QStringLiteral("WAV files have nothing to verify");
    return QStringLiteral("%1 files need %2").arg(KindName(kind), Decoder(kind));
}

} // namespace

bool TIntakeRules::Accepts(TSourceKind kind) const
{
    switch (kind) {
    case TSourceKind::Flac:
        return FlacFound;
    case TSourceKind::Ape:
        return ApeFound;
    case TSourceKind::Wav:
        break;
    }
    return !Verifying;
}

void TDropTally::Count(std::optional<TSourceKind> kind, bool queued)
{
    ++m_files;
    if (kind)
        ++m_sources[size_t(*kind)];
    if (queued)
        ++m_queued;
}

// A kind the rules take but of which nothing was queued was in the queue already.
QString TDropTally::Reason(const TIntakeRules& rules) const
{
    if (m_files == 0)
        return QStringLiteral("no files");
    QStringList why;
    for (TSourceKind kind : Kinds) {
        if (m_sources[size_t(kind)] == 0)
            continue;
        why << (rules.Accepts(kind)
                    ? QStringLiteral("the %1 files are queued already").arg(KindName(kind))
                    : Refused(kind));
    }
    if (why.isEmpty())
        why << QStringLiteral("none FLAC, APE or WAV");
    const QString files =
        m_files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(m_files);
    return files + QStringLiteral(", ") + why.join(QStringLiteral(", "));
}

QStringList TDropTally::MissingDecoders(const TIntakeRules& rules) const
{
    QStringList missing;
    for (TSourceKind kind : Kinds) {
        if (m_sources[size_t(kind)] != 0 && !rules.Accepts(kind) && !Decoder(kind).isEmpty())
            missing << Decoder(kind);
    }
    return missing;
}

#include "TCodecStatus.h"

namespace {

TCodecLabel Usable(const QString& what, const QString& version, const QString& enabled,
                   TColor color = FoundColor)
{
    return {color, what + QStringLiteral(" version: ") + version + enabled};
}

TCodecLabel NotUsable(const QString& hint)
{
    return {NotUsableColor, hint};
}

TCodecLabel FlacLabel(const TCodecFindings& found)
{
    if (!found.Flac)
        return NotUsable(QStringLiteral("FLAC processing disabled"));
    if (found.Metaflac)
        return Usable(QStringLiteral("FLAC"), found.FlacVersion,
                      QStringLiteral("; processing enabled with tags"));
    return Usable(QStringLiteral("FLAC"), found.FlacVersion,
                  QStringLiteral("; processing enabled without tags"), PartialColor);
}

} // namespace

TCodecStatus DescribeCodecs(const TCodecFindings& found)
{
    TCodecStatus status;
    status.Lame = found.Lame ? Usable(QStringLiteral("Lame"), found.LameVersion,
                                      QStringLiteral("; conversion to MP3 enabled"))
                             : NotUsable(QStringLiteral("conversion to MP3 disabled"));
    status.Ape = found.Ape ? Usable(QStringLiteral("APE"), found.ApeVersion,
                                    QStringLiteral("; processing enabled"))
                           : NotUsable(QStringLiteral("APE processing disabled"));
    status.Flac = FlacLabel(found);
    // FLAC without metaflac does not count as found.
    status.NoCodecs = status.Lame.Color != FoundColor && status.Ape.Color != FoundColor &&
                      status.Flac.Color != FoundColor;
    return status;
}

QString LameVersionRefusal(const QString& version)
{
    if (!version.contains(u'a') && !version.contains(u'b'))
        return QString();
    return QStringLiteral("     unsupported Lame Version ") + version +
           QStringLiteral(";\nalpha and beta versions of Lame are excluded.\n"
                          "          use a different Lame executable.");
}

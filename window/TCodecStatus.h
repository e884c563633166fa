#pragma once

#include "TColor.h"

#include <QString>

// What was found of the codec tools: the four tool files and the versions the tools told.
struct TCodecFindings
{
    bool Lame = false;
    bool Ape = false;
    bool Flac = false;
    bool Metaflac = false;
    QString LameVersion;
    QString ApeVersion;
    QString FlacVersion;
};

// How one of the three codec labels ("LAME", "APE", "FLAC") looks: its colour and its hint.
struct TCodecLabel
{
    TColor Color;
    QString Hint;
    bool operator==(const TCodecLabel&) const = default;
};

// What the window shows of the codec tools: the three labels and, when none of them is
// fully usable, the red line "No Codecs configured. Press F10 for setup.".
struct TCodecStatus
{
    TCodecLabel Lame;
    TCodecLabel Ape;
    TCodecLabel Flac;
    bool NoCodecs = false;
};

inline const TColor NotUsableColor{255, 0, 0};
inline const TColor FoundColor = ColorFromText(QStringLiteral("0x33cc33"));
// FLAC can be decoded, but without metaflac beside flac.
inline const TColor PartialColor = ColorFromText(QStringLiteral("0x0AA8EA"));
inline const QString NoCodecsText = QStringLiteral("No Codecs configured. Press F10 for setup.");

TCodecStatus DescribeCodecs(const TCodecFindings& found);

// The message that refuses an alpha or beta build of LAME (a version text holding a
// lower-case "a" or "b"); empty when the version is accepted.
QString LameVersionRefusal(const QString& version);

// The view of the codec status.
class ICodecStatusView
{
public:
    virtual ~ICodecStatusView() = default;
    virtual void showCodecStatus(const TCodecStatus& status) = 0;
};

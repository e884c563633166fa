#pragma once

#include "TJob.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// Which sources a drop takes: FLAC and APE files when their decoder was found, WAV files
// unless verifying (they have nothing to decode).
struct TIntakeRules
{
    bool FlacFound = false;
    bool ApeFound = false;
    bool Verifying = false;

    bool Accepts(TSourceKind kind) const;
};

// What one drop held, counted as it was taken in: its files, its sources of each kind and
// how many of them were queued. A drop that gave nothing to convert says why from it.
class TDropTally
{
public:
    // A regular file of the drop, of its source kind (none for any other file).
    void Count(std::optional<TSourceKind> kind, bool queued);
    int Queued() const { return m_queued; }
    // Why nothing was queued under the rules the drop was taken by: "12 files, none FLAC, APE
    // or WAV", "3 files, FLAC files need flac", "no files".
    QString Reason(const TIntakeRules& rules) const;
    // The decoders whose lack left sources of the drop out: "flac", "mac".
    QStringList MissingDecoders(const TIntakeRules& rules) const;

private:
    int m_files = 0;
    int m_queued = 0;
    // By TSourceKind.
    std::array<int, 3> m_sources{};
};

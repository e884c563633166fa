#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// What the STREAMINFO block at the start of a FLAC file says of the decoded audio.
struct TFlacStreamInfo
{
    // Samples per channel; 0 when the encoder did not know.
    std::uint64_t TotalSamples = 0;
    unsigned Channels = 0;
    unsigned BitsPerSample = 0;
};

// The STREAMINFO of a FLAC file, after an ID3v2 tag when one comes first (flac skips it);
// nothing when the file cannot be read or does not start like a FLAC file.
std::optional<TFlacStreamInfo> ReadFlacStreamInfo(const QString& path);

// Whether the WAV file flac would decode the stream to is larger than a RIFF file can hold
// (about 4 GiB: 24-bit 192 kHz stereo of a little over an hour), so that flac refuses it
// unless it writes RF64.
bool NeedsRf64(const TFlacStreamInfo& info);

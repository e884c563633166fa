#pragma once

#include "TAudio.h"

// Adapter for WAV sources: the source already is the WAV file the encoder reads, so there is
// nothing to decode, and a WAV source carries no tags.
class TWav : public TAudio
{
public:
    bool ConvertToWav(const QString& sourcePath, const QString& wavPath) override;
};

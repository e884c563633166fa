#pragma once

#include <QString>

// LAME takes a file whose WAV header it cannot read as raw 16-bit stereo samples and makes an
// MP3 of noise of it; one whose data chunk is empty becomes an MP3 without audio. So a WAV
// source is checked before it is handed over: its chunks are walked up to the data chunk,
// the fmt chunk must describe audio LAME reads, and the data chunk must hold some.
//
// Returns why the file cannot be encoded, as one sentence for the error list, or an empty
// text when LAME can encode it. Reads the chunk headers and the fmt chunk, never the audio.
QString RiffWaveProblem(const QString& path);

#pragma once

#include <QString>

// LAME reads any file it does not recognise as raw PCM and turns it into an MP3 of noise, so
// a WAV source is checked before it is handed over. Returns why the file cannot be encoded as
// WAV, or an empty text when it starts like a RIFF/WAVE file.
QString RiffWaveProblem(const QString& path);

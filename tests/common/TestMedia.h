#pragma once

// Files and tools the test suites share: generated WAV audio, whole-file reads, running a
// real tool without a shell, and the ID3 tags of an MP3 read with a real tag library.
#include <QByteArray>
#include <QString>
#include <QStringList>

class TSettingsStore;

// A 16-bit PCM WAV file, 44.1 kHz, holding a 441 Hz sine on every channel.
QByteArray SineWavBytes(int seconds, int channels);

// Creates the parent folders and writes the file; false when it could not.
bool WriteFile(const QString& path, const QByteArray& bytes);

// Reads a whole file; empty when it cannot be read.
QByteArray ReadAll(const QString& path);

// Runs a tool to completion without a shell; returns its exit code, -1 when it failed to
// run, and its merged output in *output when given.
int RunTool(const QString& program, const QStringList& arguments, QString* output = nullptr);

struct TMp3Tags
{
    QString Title;
    QString Artist;
    QString Album;
    unsigned Track = 0;
    // The length of the audio, whole seconds.
    int Seconds = 0;
};

// A settings store of the test's own in folder: the user root and the machine root.
TSettingsStore TestStore(const QString& folder);

// The tags TagLib finds in an MP3; all empty when it finds none.
TMp3Tags ReadMp3Tags(const QString& path);

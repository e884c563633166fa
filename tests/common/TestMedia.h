#pragma once

// Files and tools the test suites share: generated WAV audio, whole-file reads, running a
// real tool without a shell, and the ID3 tags of an MP3 read with a real tag library.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <string>

class TSettingsStore;

// A 16-bit PCM WAV file, 44.1 kHz, holding a 441 Hz sine on every channel.
QByteArray SineWavBytes(int seconds, int channels);

// Creates the parent folders and writes the file; false when it could not.
bool WriteFile(const QString& path, const QByteArray& bytes);

// Reads a whole file; empty when it cannot be read.
QByteArray ReadAll(const QString& path);

// Each file below folder (relative paths) with its modification time in nanoseconds and its
// bytes: what an update must leave as it was.
std::map<QString, std::pair<long long, QByteArray>> FilesWithTimes(const QString& folder);

// The files whose time or bytes differ between two looks, or that are new in the second.
QStringList ChangedFiles(const std::map<QString, std::pair<long long, QByteArray>>& before,
                         const std::map<QString, std::pair<long long, QByteArray>>& after);

// Sets path's modification time to other's plus seconds; false when it could not.
bool SetModifiedFrom(const QString& path, const QString& other, int seconds);

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

// The ID3v2 frames of an MP3 as a reader looks them up, each with its text: by frame id
// ("TPE2"), user texts and comments by id and description ("TXXX:REPLAYGAIN_TRACK_GAIN",
// "COMM:" for the comment without one). LAME's own TLEN and TSSE are left out, and so are
// pictures (Id3v2Cover). A frame that comes twice is listed again with " (again)".
std::map<std::string, QString> Id3v2Frames(const QString& mp3);

// The bytes of the MP3's picture (LAME 3.100 marks its one picture as of type "other"); empty
// when it has none.
QByteArray Id3v2Cover(const QString& mp3);

// A small PNG image, whole and valid, filled with one colour.
QByteArray PngBytes(int width, int height);

// What `ffprobe -v warning` prints about a file: empty when it reads it without complaint.
QString FfprobeWarnings(const QString& path);

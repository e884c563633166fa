// A stand-in for Monkey's Audio's command-line tool `mac`, built for the tests only: `mac` has
// no Debian package. It prints what mac 11.57 prints on a terminal, byte for byte, for the
// cases the APE adapter meets: the banner and usage text, "Decompressing...", progress rows
// redrawn with "\r", "Success", "Error: 1009" for a damaged or cut source and "Input File
// Not Found..." for a missing one.
//
// It cannot decode a real APE stream. It reads the file's APE header (version 3.98 and
// later) for the audio format and length, checks the file's MD5 and length as the real tool
// would notice damage, and writes a WAV file of that format and length holding a sine. A
// test asks for the length it wants by writing a small APE file with that header.
//
// MAC_STANDIN_STEP_MS, when set, makes it wait that many milliseconds before each progress
// row, so that a test can watch a decode in progress or stop it.

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <optional>
#include <thread>

namespace {

constexpr const char* Banner =
    "--- Monkey's Audio Console Front End (v 11.57) (c) Matthew T. Ashland ---\n";

constexpr const char* Usage = R"usage(Proper Usage: [EXE] [Input File] [Output File] [Mode]

Modes:
    Compress (fast): '-c1000'
    Compress (normal): '-c2000'
    Compress (high): '-c3000'
    Compress (extra high): '-c4000'
    Compress (insane): '-c5000'
    Decompress: '-d'
    Verify: '-v'
    Full Verify: '-V'
    Convert: '-nXXXX'
    Tag: '-t'
    Remove Tag: '-r'
    Convert to ID3v1 (needed by some players, etc.): '-L'

Options:
    Set the number of threads when compressing or decompressing: -threads=#'

Examples:
    Compress: mac.exe "Metallica - One.wav" "Metallica - One.ape" -c2000
    Compress: mac.exe "Metallica - One.wav" "Metallica - One.ape" -c2000 -threads=16 -t "Artist=Metallica|Album=Black|Name=One"
    Compress: mac.exe "Metallica - One.wav" "Metallica - One.ape" -c2000 -t "Artist=Metallica|Album=Black|Name=One"
    Compress: mac.exe "Metallica - One.wav" auto -c2000
    Transcode from pipe: ffmpeg.exe -i "Metallica - One.flac" -f wav - | mac.exe - "Metallica - One.ape" -c2000
    Decompress: mac.exe "Metallica - One.ape" "Metallica - One.wav" -d
    Decompress: mac.exe "Metallica - One.ape" auto -d
    Decompress: mac.exe "Metallica - One.ape" "Metallica - One.wav" -d -threads=16
    Verify: mac.exe "Metallica - One.ape" -v
    Full Verify: mac.exe "Metallica - One.ape" -V
    Tag: mac.exe "Metallica - One.ape" -t "Artist=Metallica|Album=Black|Name=One|Comment=\"This is in quotes\""
    Remove tag: mac.exe "Metallica - One.ape" -r
)usage";

// Exit statuses: the real tool exits with its error code, which the system cuts to a byte.
constexpr int FailStatus = 255;
constexpr int InvalidInputFile = 1002;
constexpr int InvalidChecksum = 1009;

// The real tool redraws its progress about every 9450 samples of a 44.1 kHz file.
constexpr double BlocksPerStep = 9450.0;

struct ApeStream
{
    int channels = 0;
    int bits = 0;
    quint32 sampleRate = 0;
    qint64 blocks = 0;
    qint64 framesAt = 0;
    qint64 framesEnd = 0;
    bool checksumGood = false;
};

void Print(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
}

int Fail(int code)
{
    std::fprintf(stderr, "\nError: %d\n", code);
    return code == -1 ? FailStatus : code & 0xFF;
}

// Byte by byte rather than through a pointer into the array: the optimiser under the
// sanitizers cannot see the caller's size check and warns about the pointer.
template <typename T> T LittleEndianAt(const QByteArray& data, qint64 at)
{
    T value = 0;
    for (qint64 i = qint64(sizeof(T)) - 1; i >= 0; --i)
        value = T(value << 8) | quint8(data.at(at + i));
    return value;
}

quint32 U32(const QByteArray& data, qint64 at)
{
    return LittleEndianAt<quint32>(data, at);
}

quint16 U16(const QByteArray& data, qint64 at)
{
    return LittleEndianAt<quint16>(data, at);
}

// The MD5 in the descriptor covers the stored WAV header, the frame data, the APE header and
// the seek table, in this order.
bool ChecksumGood(const QByteArray& data, qint64 headerAt, qint64 seekAt, qint64 wavAt,
                  const ApeStream& stream)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(data.mid(wavAt, stream.framesAt - wavAt));
    md5.addData(data.mid(stream.framesAt, stream.framesEnd - stream.framesAt));
    md5.addData(data.mid(headerAt, seekAt - headerAt));
    md5.addData(data.mid(seekAt, wavAt - seekAt));
    return md5.result() == data.mid(36, 16);
}

// Reads the descriptor and header of an APE file of version 3.98 or later.
std::optional<ApeStream> ParseApe(const QByteArray& data)
{
    constexpr qint64 DescriptorBytes = 52;
    constexpr qint64 HeaderBytes = 24;
    if (data.size() < DescriptorBytes || !data.startsWith("MAC ") || U16(data, 4) < 3980)
        return std::nullopt;
    const qint64 headerAt = U32(data, 8);
    const qint64 seekAt = headerAt + U32(data, 12);
    const qint64 wavAt = seekAt + U32(data, 16);
    ApeStream stream;
    stream.framesAt = wavAt + U32(data, 20);
    stream.framesEnd =
        stream.framesAt + U32(data, 24) + (qint64(U32(data, 28)) << 32) + U32(data, 32);
    if (headerAt < DescriptorBytes || seekAt - headerAt < HeaderBytes ||
        stream.framesAt > data.size())
        return std::nullopt;
    const quint32 blocksPerFrame = U32(data, headerAt + 4);
    const quint32 finalBlocks = U32(data, headerAt + 8);
    const quint32 frames = U32(data, headerAt + 12);
    stream.bits = U16(data, headerAt + 16);
    stream.channels = U16(data, headerAt + 18);
    stream.sampleRate = U32(data, headerAt + 20);
    stream.blocks = frames == 0 ? 0 : qint64(frames - 1) * blocksPerFrame + finalBlocks;
    const bool formatGood = (stream.bits == 8 || stream.bits == 16 || stream.bits == 24) &&
                            stream.channels >= 1 && stream.channels <= 8 &&
                            stream.sampleRate >= 1000 && stream.sampleRate <= 192000 &&
                            stream.blocks <= qint64(stream.sampleRate) * 3600;
    if (!formatGood)
        return std::nullopt;
    if (stream.framesEnd <= data.size())
        stream.checksumGood = ChecksumGood(data, headerAt, seekAt, wavAt, stream);
    return stream;
}

int BlockBytes(const ApeStream& stream)
{
    return stream.channels * stream.bits / 8;
}

QByteArray WavHeader(const ApeStream& stream)
{
    const quint32 dataBytes = quint32(stream.blocks * BlockBytes(stream));
    QByteArray header;
    auto add32 = [&header](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        header.append(bytes, 4);
    };
    auto add16 = [&header](quint16 value) {
        char bytes[2];
        qToLittleEndian(value, bytes);
        header.append(bytes, 2);
    };
    header.append("RIFF");
    add32(36 + dataBytes);
    header.append("WAVEfmt ");
    add32(16);
    add16(1);
    add16(quint16(stream.channels));
    add32(stream.sampleRate);
    add32(stream.sampleRate * BlockBytes(stream));
    add16(quint16(BlockBytes(stream)));
    add16(quint16(stream.bits));
    header.append("data");
    add32(dataBytes);
    return header;
}

// A 440 Hz sine at half scale, the same on every channel.
QByteArray Sine(const ApeStream& stream, qint64 from, qint64 to)
{
    const int sampleBytes = stream.bits / 8;
    const double scale = std::ldexp(0.5, stream.bits - 1);
    QByteArray audio;
    audio.reserve((to - from) * BlockBytes(stream));
    for (qint64 block = from; block < to; ++block) {
        const double phase = 2 * std::numbers::pi * 440.0 * double(block) / stream.sampleRate;
        auto sample = qint32(std::lround(scale * std::sin(phase)));
        if (stream.bits == 8)
            sample += 128;
        char bytes[4];
        qToLittleEndian(sample, bytes);
        for (int channel = 0; channel < stream.channels; ++channel)
            audio.append(bytes, sampleBytes);
    }
    return audio;
}

int StepMilliseconds()
{
    const char* text = std::getenv("MAC_STANDIN_STEP_MS");
    return text ? std::atoi(text) : 0;
}

void PrintProgress(int step, int steps, int stepMs)
{
    std::fprintf(stderr,
                 "Progress: %.1f%% (%.1f seconds remaining, %.1f seconds total)          \r",
                 100.0 * step / steps, (steps - step) * stepMs / 1000.0, step * stepMs / 1000.0);
    std::fflush(stderr);
}

// Writes the WAV file step by step, as far as the source's frame data reaches.
int Decompress(const QByteArray& data, const ApeStream& stream, QFile& wav)
{
    if (stream.framesEnd <= data.size() && !stream.checksumGood)
        return Fail(InvalidChecksum);
    wav.write(WavHeader(stream));
    const int steps = std::max(1, int(std::ceil(double(stream.blocks) / BlocksPerStep)));
    const qint64 frameBytes = stream.framesEnd - stream.framesAt;
    const double present =
        frameBytes > 0 ? double(data.size() - stream.framesAt) / double(frameBytes) : 1.0;
    const int stepMs = StepMilliseconds();
    for (int step = 1; step <= steps; ++step) {
        if (double(step - 1) / steps >= present)
            return Fail(InvalidChecksum);
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
        wav.write(Sine(stream, stream.blocks * (step - 1) / steps, stream.blocks * step / steps));
        wav.flush();
        PrintProgress(step, steps, stepMs);
    }
    if (present < 1.0)
        return Fail(InvalidChecksum);
    PrintProgress(steps, steps, stepMs);
    Print("\nSuccess\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Print(Banner);
    if (argc != 4 || std::strcmp(argv[3], "-d") != 0) {
        Print(Usage);
        return FailStatus;
    }
    // Names are taken as bytes, as the real tool takes them: they need not be UTF-8.
    QFile source;
    std::FILE* sourceFile = std::fopen(argv[1], "rb");
    if (!sourceFile ||
        !source.open(sourceFile, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        Print("Input File Not Found...\n\n");
        return FailStatus;
    }
    Print("Decompressing...\n");
    const QByteArray data = source.readAll();
    const std::optional<ApeStream> stream = ParseApe(data);
    if (!stream)
        return Fail(InvalidInputFile);
    QFile wav;
    std::FILE* wavFile = std::fopen(argv[2], "wb");
    if (!wavFile || !wav.open(wavFile, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return Fail(-1);
    return Decompress(data, *stream, wav);
}

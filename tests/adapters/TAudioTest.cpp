#include "AdapterTestSupport.h"
#include "QtPrinters.h"
#include "TFlac.h"
#include "TWav.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QStringList BaseTagNames = {"Title",   "Artist", "Track", "Album",
                                  "Comment", "Genre",  "Year",  "Copyright"};

TEST(TAudioTest, FreshAdapterHasNoProgressYetAndEmptyTags)
{
    const TAudio audio;
    EXPECT_TRUE(audio.ProgressSeen);
    EXPECT_EQ(audio.Progress, 0);
    EXPECT_FALSE(audio.HasTags);
    EXPECT_FALSE(audio.Cancel);
    EXPECT_EQ(audio.TagNames, BaseTagNames);
    EXPECT_EQ(audio.TagValues, QStringList(8));
}

TEST(TAudioTest, BaseAdapterCanNeitherDecodeNorReadTags)
{
    TAudio audio;
    EXPECT_EQ(audio.GetVersion(), QStringLiteral("0"));
    EXPECT_FALSE(audio.ConvertToWav("/nonexistent/in.flac", "/nonexistent/out.wav"));
    EXPECT_FALSE(audio.ReadTags("/nonexistent/in.flac"));
}

TEST(TAudioTest, FlacMatchesItsOwnNamesForTrackAndDate)
{
    const TFlac flac;
    QStringList expected = BaseTagNames;
    expected[2] = "tracknumber";
    expected[6] = "date";
    EXPECT_EQ(flac.TagNames, expected);
}

// A WAV source is the file the encoder reads: nothing to decode, no tags, no decoder.
TEST(TWavTest, PassesTheSourceOnWithoutTags)
{
    const QTemporaryDir dir;
    const QString wav = dir.filePath("out.wav");
    TWav audio;
    audio.SetDecoderFolder(dir.path() + u'/');
    EXPECT_TRUE(audio.ConvertToWav(dir.filePath("in.wav"), wav));
    EXPECT_FALSE(QFileInfo::exists(wav));
    EXPECT_FALSE(audio.ReadTags(dir.filePath("in.wav")));
    EXPECT_FALSE(audio.HasTags);
    EXPECT_EQ(audio.GetVersion(), QStringLiteral("0"));
}

class TempWavNameTest : public testing::Test
{
protected:
    void TearDown() override
    {
        for (const QString& path : m_made)
            QFile::remove(path);
    }

    QString make(TAudio& audio)
    {
        const QString path = audio.MakeTempWavName();
        if (!path.isEmpty())
            m_made << path;
        return path;
    }

private:
    QStringList m_made;
};

TEST_F(TempWavNameTest, EveryCallCreatesAnotherEmptyFileInTheTemporaryFolder)
{
    TWav audio;
    const QString first = make(audio);
    const QString second = make(audio);
    EXPECT_NE(first, second);
    for (const QString& path : {first, second}) {
        const QFileInfo info(path);
        EXPECT_TRUE(info.isFile()) << path.toStdString();
        EXPECT_EQ(info.size(), 0);
        EXPECT_TRUE(info.fileName().startsWith(QStringLiteral("~TT")));
        EXPECT_EQ(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    }
}

TEST_F(TempWavNameTest, NoUsableTemporaryFolderGivesAnEmptyPath)
{
    const QByteArray saved = qgetenv("TMPDIR");
    const bool wasSet = qEnvironmentVariableIsSet("TMPDIR");
    qputenv("TMPDIR", "/nonexistent/quarlow-temp");
    TWav audio;
    const QString path = make(audio);
    wasSet ? qputenv("TMPDIR", saved) : qunsetenv("TMPDIR");
    EXPECT_TRUE(path.isEmpty()) << path.toStdString();
}

struct Utf8Case
{
    const char* name;
    QByteArray bytes;
    QString expected;
};

void PrintTo(const Utf8Case& c, std::ostream* os)
{
    *os << c.name;
}

class DecodeUtf8Test : public testing::TestWithParam<Utf8Case>
{};

TEST_P(DecodeUtf8Test, DecodesUpToTheFirstFault)
{
    EXPECT_EQ(TAudio::DecodeUtf8(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecodeUtf8Test,
    testing::Values(Utf8Case{"Empty", QByteArray(), QString()},
                    Utf8Case{"Ascii", "Title 1", "Title 1"},
                    Utf8Case{"TwoByte", "\x43\x61\x66\xC3\xA9", QString::fromUtf8("Caf\u00e9")},
                    Utf8Case{"ThreeByte", "\xE2\x82\xAC 5", QString::fromUtf8("\u20ac 5")},
                    Utf8Case{"FourByteIsASurrogatePair",
                             "a\xF0\x9F\x8E\xB5"
                             "b",
                             QString::fromUtf8("a\U0001F3B5b")},
                    Utf8Case{"LoneContinuationByte",
                             "Ca\x80"
                             "fe",
                             "Ca"},
                    Utf8Case{"LeadWithoutContinuation",
                             "Caf\xC3"
                             "e",
                             "Caf"},
                    Utf8Case{"TwoByteCutByTheEnd", "Caf\xC3", "Caf"},
                    Utf8Case{"ThreeByteCutByTheEnd", "x\xE2\x82", "x"},
                    Utf8Case{"FourByteCutByTheEnd", "x\xF0\x9F\x8E", "x"},
                    Utf8Case{"FiveByteLead", "x\xF8\x88\x80\x80\x80", "x"},
                    Utf8Case{"EncodedSurrogate", "x\xED\xA0\x80y", "x"},
                    Utf8Case{"BeyondUnicode", "x\xF4\x90\x80\x80y", "x"}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.name); });

struct BannerCase
{
    const char* name;
    const char* row;
    const char* version;
};

void PrintTo(const BannerCase& c, std::ostream* os)
{
    *os << c.name;
}

class LameBannerTest : public testing::TestWithParam<BannerCase>
{};

TEST_P(LameBannerTest, VersionStandsAfterVersionMark)
{
    EXPECT_EQ(TTestAudio::LameVersionFromBanner(QString::fromUtf8(GetParam().row)),
              QString::fromUtf8(GetParam().version));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LameBannerTest,
    testing::Values(
        BannerCase{"Current", "LAME 64bits version 3.100 (http://lame.sf.net)", "3.100"},
        BannerCase{"Older", "LAME 32bits version 3.98.4 (http://www.mp3dev.org/)", "3.98.4"},
        BannerCase{"WithoutAddressCutTo11", "LAME version 3.99.5 built for tests", "3.99.5 buil"},
        BannerCase{"NoVersionMarkIsWhole", "lame: command not found", "lame: command not found"},
        BannerCase{"EmptyRow", "", ""}),
    [](const testing::TestParamInfo<BannerCase>& info) { return std::string(info.param.name); });

} // namespace

#include "TScreen.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TScreen> makeScreen()
{
    QString error;
    std::unique_ptr<TScreen> screen = TScreen::Create(200, 265, &error);
    EXPECT_TRUE(screen) << error.toStdString();
    return screen;
}

QStringList snapshotOf(const QByteArray& bytes)
{
    const std::unique_ptr<TScreen> screen = makeScreen();
    screen->feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return SnapshotRows(screen->rowTexts());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Every byte a real tool wrote to a 265 x 200 terminal, and the screen a terminal showed.
std::vector<std::string> captureNames()
{
    std::vector<std::string> names;
    const QDir raw(QStringLiteral(TEST_DATA_DIR "/tools/raw"));
    for (const QFileInfo& info : raw.entryInfoList({"*.bin"}, QDir::Files, QDir::Name))
        names.push_back(info.completeBaseName().toStdString());
    return names;
}

class RealCaptureTest : public testing::TestWithParam<std::string>
{};

TEST_P(RealCaptureTest, ScreenModelShowsWhatTheTerminalShowed)
{
    const QString name = QString::fromStdString(GetParam());
    const QByteArray raw = readFile(QStringLiteral(TEST_DATA_DIR "/tools/raw/") + name + ".bin");
    const QString shown =
        QString::fromUtf8(readFile(QStringLiteral(TEST_DATA_DIR "/tools/screens/") + name + ".txt"));
    const QStringList expected = SnapshotRows(shown.split(u'\n'));
    const QStringList actual = snapshotOf(raw);
    EXPECT_EQ(actual.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
}

INSTANTIATE_TEST_SUITE_P(Captures, RealCaptureTest, testing::ValuesIn(captureNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

TEST(RealCaptureTest, AllCapturesAreThere)
{
    // Without the captures the table above would be empty and prove nothing.
    EXPECT_GE(captureNames().size(), 30u);
}

struct ScreenCase
{
    const char* name;
    QByteArray bytes;
    QStringList expected;
};

class ScreenModelTest : public testing::TestWithParam<ScreenCase>
{};

TEST_P(ScreenModelTest, Rows)
{
    EXPECT_EQ(snapshotOf(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScreenModelTest,
    testing::Values(
        ScreenCase{"Nothing", "", {""}},
        ScreenCase{"CarriageReturnRedraw", "( 0%)\r( 7%)\r(100%)\r\n", {"(100%)"}},
        ScreenCase{"BackspaceRedraw",
                   "t.flac: 30% complete\b\b\b\b\b\b\b\b\b\b\b\b60% complete",
                   {"t.flac: 60% complete"}},
        ScreenCase{"RowsZeroAndFive", "a\r\n\r\n\r\n\r\n\r\nf\r\n\r\n", {"a", "", "", "", "", "f"}},
        ScreenCase{"BlankRowZeroKept", "\r\n\r\nx", {"", "", "x"}},
        ScreenCase{"LeadingBlanksKept", "  50%  \r\n", {"  50%"}},
        ScreenCase{"ControlCharsTrimmed", "abc\t\r\n", {"abc"}},
        ScreenCase{"WideCharactersOnce", "日本 x\r\n", {"日本 x"}},
        ScreenCase{"CombiningMark", "e\xcc\x81!\r\n", {"e\u0301!"}},
        ScreenCase{
            "EscapeSequencesApplied", "\x1b[2J\x1b[3;5Hhere\x1b[1;1Htop", {"top", "", "    here"}},
        ScreenCase{"WrapAt265", QByteArray(300, 'y'), {QString(265, u'y'), QString(35, u'y')}}),
    [](const testing::TestParamInfo<ScreenCase>& info) { return std::string(info.param.name); });

TEST(ScreenModelTest, ClearBlanksEverythingAndHomesTheCursor)
{
    const std::unique_ptr<TScreen> screen = makeScreen();
    screen->feed("old row one\r\nold row two", 24);
    screen->clear();
    screen->feed("new", 3);
    EXPECT_EQ(SnapshotRows(screen->rowTexts()), QStringList({"new"}));
}

// The screen's memory is reserved with it; a run of combining marks far longer than any tool
// prints makes libvterm grow its buffer for them beyond that, which must still work and be
// given back.
TEST(ScreenModelTest, ALongRunOfCombiningMarksStillShows)
{
    const std::unique_ptr<TScreen> screen = makeScreen();
    QByteArray bytes = "e";
    for (int i = 0; i < 40000; ++i)
        bytes += "\xcc\x81";
    bytes += " end";
    screen->feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const QStringList rows = SnapshotRows(screen->rowTexts());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows.first().startsWith(QStringLiteral("e\u0301"))) << rows.first().size();
    EXPECT_TRUE(rows.first().endsWith(QStringLiteral(" end")));
}

TEST(ScreenModelTest, AScreenWithoutCellsIsRefused)
{
    QString error;
    EXPECT_EQ(TScreen::Create(0, 265, &error), nullptr);
    EXPECT_EQ(error, QStringLiteral("Invalid argument"));
}

TEST(ScreenModelTest, OldestRowsScrollAway)
{
    const std::unique_ptr<TScreen> screen = makeScreen();
    QByteArray bytes;
    for (int i = 0; i < 250; ++i)
        bytes += "row " + QByteArray::number(i) + "\r\n";
    screen->feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const QStringList rows = SnapshotRows(screen->rowTexts());
    ASSERT_EQ(rows.size(), 199); // the cursor stands on the last, empty row
    EXPECT_EQ(rows.first(), "row 51");
    EXPECT_EQ(rows.last(), "row 249");
}

} // namespace

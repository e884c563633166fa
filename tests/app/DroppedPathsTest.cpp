#include "DroppedPaths.h"

#include "LocalNames.h"
#include "QtPrinters.h"

#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

struct TDropCase
{
    const char* name;
    QList<QByteArray> urls;
    QList<QByteArray> paths;
};

class DroppedPathsTest : public ::testing::TestWithParam<TDropCase>
{};

// The names' own bytes, in the order of the drop; only local files count.
TEST_P(DroppedPathsTest, KeepsTheNamesBytes)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QByteArray& url : GetParam().urls)
        urls << QUrl::fromEncoded(url);
    data.setUrls(urls);

    QList<QByteArray> bytes;
    for (const QString& path : DroppedPaths(data))
        bytes << PathBytes(path);
    EXPECT_EQ(bytes, GetParam().paths);
    EXPECT_EQ(CarriesLocalFiles(data), !GetParam().paths.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DroppedPathsTest,
    ::testing::Values(
        TDropCase{"Latin1Name", {"file:///music/caf%E9.flac"}, {"/music/caf\xe9.flac"}},
        TDropCase{
            "Utf8NameAndBlank", {"file:///music/Caf%C3%A9%20Album"}, {"/music/Caf\xc3\xa9 Album"}},
        TDropCase{"PercentSignInName", {"file:///m/100%25.wav"}, {"/m/100%.wav"}},
        TDropCase{"OrderKept",
                  {"file:///z.flac", "file:///a.flac", "file:///m"},
                  {"/z.flac", "/a.flac", "/m"}},
        TDropCase{"OnlyLocalFiles", {"https://example.org/a.flac", "file:///b.flac"}, {"/b.flac"}},
        TDropCase{"NoLocalFile", {"https://example.org/a.flac"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

// The tag readers read the user's files: only regular files, only for reading, never waiting
// on what was put in a file's place.
#include "Pipes.h"
#include "QtPrinters.h"
#include "TApe.h"
#include "TFlac.h"
#include "TestMedia.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

struct TReaderCase
{
    const char* name;
    const char* fixture;
    std::unique_ptr<TAudio> (*make)();
};

void PrintTo(const TReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

class TagReaderTest : public testing::TestWithParam<TReaderCase>
{
protected:
    QString Source() const
    {
        return dir.filePath(QStringLiteral("source.") +
                            QString::fromUtf8(GetParam().fixture).section(u'.', -1));
    }

    QTemporaryDir dir;
};

// The events a watcher of the file learns of while `read` runs.
std::uint32_t WatchedEvents(const QString& path, const std::function<void()>& read)
{
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(watcher, 0);
    EXPECT_GE(inotify_add_watch(watcher, QFile::encodeName(path).constData(),
                                IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE),
              0);
    read();
    std::uint32_t events = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(watcher, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            events |= event->mask;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    close(watcher);
    return events;
}

// A file opened for writing is closed with IN_CLOSE_WRITE, which wakes every watcher that
// waits for a changed file; the readers open it for reading only.
TEST_P(TagReaderTest, ReadsTheTagsWithoutOpeningTheSourceForWriting)
{
    ASSERT_TRUE(WriteFile(Source(), ReadAll(QStringLiteral(TEST_DATA_DIR "/fixtures/") +
                                            QString::fromUtf8(GetParam().fixture))));
    const std::unique_ptr<TAudio> adapter = GetParam().make();
    const std::uint32_t events = WatchedEvents(Source(), [&] { adapter->ReadTags(Source()); });

    EXPECT_TRUE(adapter->HasTags);
    EXPECT_EQ(adapter->Title, QStringLiteral("The \"Quoted\" Song"));
    EXPECT_TRUE(events & IN_CLOSE_NOWRITE);
    EXPECT_FALSE(events & (IN_CLOSE_WRITE | IN_MODIFY)) << std::hex << events;
}

TEST_P(TagReaderTest, APipeInTheSourcesPlaceIsNotWaitedFor)
{
    ASSERT_TRUE(MakePipe(Source()));
    const std::unique_ptr<TAudio> adapter = GetParam().make();
    RunWithoutWaiting("ReadTags", [&] { adapter->ReadTags(Source()); });
    EXPECT_FALSE(adapter->HasTags);
    EXPECT_EQ(adapter->Title, QString());
}

INSTANTIATE_TEST_SUITE_P(Readers, TagReaderTest,
                         testing::Values(TReaderCase{"flac", "in.flac",
                                                     []() -> std::unique_ptr<TAudio> {
                                                         return std::make_unique<TFlac>();
                                                     }},
                                         TReaderCase{"ape", "tagged.ape",
                                                     []() -> std::unique_ptr<TAudio> {
                                                         return std::make_unique<TApe>();
                                                     }}),
                         [](const testing::TestParamInfo<TReaderCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

#include "BrokenSettings.h"

#include "FileSystem.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString InFolder = QStringLiteral("/note.txt");
const QString Device = QStringLiteral("/dev/null");

// Takes away what stands at path, whatever it is.
void Clear(const QString& path)
{
    if (PathKind(path) == TPathKind::Folder && !IsLink(path))
        RemoveFolderTree(path);
    else
        RemoveFile(path);
}

} // namespace

QList<TBrokenSettings> BrokenSettingsShapes()
{
    const QString notAnObject = QStringLiteral("it holds %1 instead of an object of named values");
    return {
        {"stray_comma", TBrokenKind::Bytes, R"({"width": 800, "Top": 5,})",
         "line 1, column 25: object is missing after a comma"},
        {"stray_comma_on_a_later_line", TBrokenKind::Bytes,
         "{\n    \"width\": 800,\n    \"Top\": 5,\n}\n",
         "line 4, column 1: object is missing after a comma"},
        {"missing_comma_after_a_wide_character", TBrokenKind::Bytes,
         "{\n  \"Caf\xc3\xa9\": 1 \"Top\": 5\n}", "line 2, column 13: unterminated object"},
        {"array", TBrokenKind::Bytes, R"([{"width": 800}])", notAnObject.arg("an array")},
        {"null", TBrokenKind::Bytes, "null\n", notAnObject.arg("null")},
        {"bare_string", TBrokenKind::Bytes, R"("KPZ05")", notAnObject.arg("a string")},
        {"empty", TBrokenKind::Bytes, "", "it is empty"},
        {"trailing_note", TBrokenKind::Bytes, "{\"width\": 800}\n// note\n",
         "line 2, column 1: garbage at the end of the document"},
        {"not_json", TBrokenKind::Bytes, "\x89PNG\r\n\x1a\n", "line 1, column 1: illegal value"},
        {"text_that_is_not_utf8", TBrokenKind::Bytes, "{\"SaveDirName\": \"/caf\xe9/\"}",
         "line 1, column 22: invalid UTF8 string"},
        {"folder", TBrokenKind::Folder, "{}", "it is a folder"},
        {"named_pipe", TBrokenKind::Fifo, {}, "it is a named pipe"},
        {"device", TBrokenKind::Device, {}, "it is a device"},
    };
}

bool MakeBrokenSettings(const TBrokenSettings& shape, const QString& path)
{
    Clear(path);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    switch (shape.kind) {
    case TBrokenKind::Bytes:
        return WriteFile(path, shape.bytes);
    case TBrokenKind::Folder:
        return WriteFile(path + InFolder, shape.bytes);
    case TBrokenKind::Fifo:
        return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case TBrokenKind::Device:
        return QFile::link(Device, path);
    }
    return false;
}

bool IsBrokenSettings(const TBrokenSettings& shape, const QString& path)
{
    struct stat st;
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    switch (shape.kind) {
    case TBrokenKind::Bytes:
        return S_ISREG(st.st_mode) && ReadAll(path) == shape.bytes;
    case TBrokenKind::Folder:
        return S_ISDIR(st.st_mode) && ReadAll(path + InFolder) == shape.bytes;
    case TBrokenKind::Fifo:
        return S_ISFIFO(st.st_mode);
    case TBrokenKind::Device:
        return S_ISLNK(st.st_mode) && QFile::symLinkTarget(path) == Device;
    }
    return false;
}

TFifoWatchdog::TFifoWatchdog(QString path) : m_path(std::move(path)), m_thread([this] { Watch(); })
{}

TFifoWatchdog::~TFifoWatchdog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_ended.notify_all();
    m_thread.join();
}

void TFifoWatchdog::Watch()
{
    using namespace std::chrono_literals;
    const QByteArray path = QFile::encodeName(m_path);
    std::unique_lock lock(m_mutex);
    if (m_ended.wait_for(lock, 60s, [this] { return m_done; }))
        return;
    while (!m_ended.wait_for(lock, 10ms, [this] { return m_done; })) {
        struct stat st;
        if (stat(path.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))
            continue;
        // Succeeds only while a reader waits; its close ends that reader's read.
        const int fd = open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            close(fd);
    }
}

// A drop of a whole library on the desktop window: a folder tree of N empty .flac files is
// dropped, as a file manager drops it, on a shown window with its data panel open, and the
// time is taken until the Cue List holds all N entries and the window has handled what that
// left pending (layout, paint). The form is busy, as during a run: the drop then only queues
// (TForm1::AppMessage starts no run while Busy), so queueing and showing are all that is
// measured, and no file needs real audio. N = 5,000, 10,000 and 20,000 show whether the
// time per file stays the same; the peak memory of the process is read after the drops.
#include "FileTree.h"
#include "TForm1.h"
#include "TMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QListView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Rounds = 3;
constexpr std::array<int, 3> Counts = {5000, 10000, 20000};
constexpr double TargetMs = 1000;
constexpr double TargetMb = 150;

// What a file manager hands over for one dropped folder, sent as a drag ends: enter, drop.
bool DropFolder(TMainWindow& window, const QString& folder)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(folder)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

// One drop, in milliseconds; -1 when the Cue List did not come to show every file.
double DropMilliseconds(const QString& root, int count)
{
    const QTemporaryDir settings;
    TMainWindow window;
    TForm1 form(window,
                TSettingsStore(settings.filePath("user.json"), settings.filePath("machine.json")));
    window.attach(form);
    form.FlacFound = true;
    form.Busy = true;
    window.show();
    window.findChild<QAction*>(QStringLiteral("ShowData"))->trigger();
    const QAbstractItemModel& cueList =
        *window.findChild<QListView*>(QStringLiteral("lbxCueList"))->model();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    if (!DropFolder(window, root))
        return -1;
    // The window takes the drop from its event loop.
    while (cueList.rowCount() < count && timer.elapsed() < 600000)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return cueList.rowCount() == count ? ms : -1;
}

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024; // kilobytes on Linux
}

// The offscreen platform says at every drop that it cannot raise the window; the figures are
// easier to read without that.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!text.startsWith(QLatin1String("This plugin does not support")))
        qt_message_output(type, context, text);
}

const char* Verdict(bool met)
{
    return met ? "pass" : "FAIL";
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietOffscreen);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    std::array<QString, Counts.size()> roots;
    for (size_t i = 0; i < Counts.size(); ++i) {
        roots[i] = dir.filePath(QStringLiteral("drop%1").arg(i));
        if (!dir.isValid() || !MakeTree(roots[i], Counts[i], {QStringLiteral(".flac")})) {
            std::fprintf(stderr, "cannot create the file tree\n");
            return 1;
        }
    }
    // The sizes take turns, so all meet the same machine; the best round of each counts.
    std::array<double, Counts.size()> best{};
    best.fill(-1);
    for (int round = 0; round < Rounds; ++round) {
        for (size_t i = 0; i < Counts.size(); ++i) {
            const double ms = DropMilliseconds(roots[i], Counts[i]);
            if (ms < 0) {
                std::fprintf(stderr, "the Cue List did not show all %d files\n", Counts[i]);
                return 1;
            }
            best[i] = best[i] < 0 ? ms : std::min(best[i], ms);
        }
    }
    const double peak = PeakMegabytes();
    for (size_t i = 0; i < Counts.size(); ++i)
        std::printf("drop of %d files on the window: %.1f ms (%.1f us per file)\n", Counts[i],
                    best[i], best[i] * 1000 / Counts[i]);
    std::printf("ratio 20000/10000 files: %.2f (2 when linear)\n", best[2] / best[1]);
    std::printf("20000 files under %.0f ms: %s\n", TargetMs, Verdict(best[2] < TargetMs));
    std::printf("peak memory after the drops: %.1f MB; under %.0f MB: %s\n", peak, TargetMb,
                Verdict(peak < TargetMb));
    return 0;
}

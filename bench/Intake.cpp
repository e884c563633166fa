// Intake at scale: a folder tree of N accepted files (empty: intake does not read them) is
// dropped on a window with a recording view while a run is going on, so the drop only
// queues. The same for 2N files; the duplicate check is a hash look-up, so the ratio of the
// two times should stay near 2.
#include "FileTree.h"
#include "TFakeMainView.h"
#include "TForm1.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int Rounds = 9;

// One drop, in milliseconds; -1 when it did not queue every file.
double DropMilliseconds(const QString& root, int count)
{
    TFakeMainView view;
    const QTemporaryDir settings;
    TForm1 form(view,
                TSettingsStore(settings.filePath("user.json"), settings.filePath("machine.json")));
    form.FlacFound = form.ApeFound = true;
    form.Busy = true;
    QElapsedTimer timer;
    timer.start();
    form.AppMessage({root});
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return form.Queue().Count() == count ? ms : -1;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const int counts[] = {10000, 20000};
    QString roots[2];
    for (int i = 0; i < 2; ++i) {
        roots[i] = dir.filePath(QStringLiteral("drop%1").arg(i));
        if (!dir.isValid() || !MakeTree(roots[i], counts[i], {".flac", ".ape", ".wav"})) {
            std::fprintf(stderr, "cannot create the file tree\n");
            return 1;
        }
    }
    // The two sizes take turns, so both meet the same machine; the best round of each counts.
    double best[2] = {-1, -1};
    for (int round = 0; round < Rounds; ++round) {
        for (int i = 0; i < 2; ++i) {
            const double ms = DropMilliseconds(roots[i], counts[i]);
            if (ms < 0) {
                std::fprintf(stderr, "the drop did not queue all %d files\n", counts[i]);
                return 1;
            }
            best[i] = best[i] < 0 ? ms : std::min(best[i], ms);
        }
    }
    for (int i = 0; i < 2; ++i)
        std::printf("intake of %d files: %.1f ms\n", counts[i], best[i]);
    std::printf("ratio %d/%d files: %.2f\n", counts[1], counts[0], best[1] / best[0]);
    return 0;
}

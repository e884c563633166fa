// Fixed overhead of one TCons::Execute of `true` next to a bare fork+exec+wait of the same
// program, median of 50 runs each, measured side by side in one run.
#include "CommandLine.h"
#include "TCons.h"

#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double medianMicroseconds(const std::function<void()>& once, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        once();
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void forkExecWait(const char* path)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execl(path, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    waitpid(pid, nullptr, 0);
}

} // namespace

int main()
{
    const QByteArray truePath = QStandardPaths::findExecutable("true").toUtf8();
    const int runs = 50;
    TCons cons;
    const QString commandLine = QuoteArgument(QString::fromUtf8(truePath));
    const double bare = medianMicroseconds([&] { forkExecWait(truePath.constData()); }, runs);
    const double runner =
        medianMicroseconds([&] { cons.Execute("bench", commandLine, false, "0"); }, runs);
    std::printf("fork+exec+wait of true:   median %8.0f us (%d runs)\n", bare, runs);
    std::printf("TCons::Execute of true:   median %8.0f us (%d runs)\n", runner, runs);
    std::printf("ratio runner/bare:        %8.2f\n", runner / bare);
    return 0;
}

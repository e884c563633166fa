#include "TUrlOpener.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>

const QString TUrlOpener::Opener = QStringLiteral("xdg-open");

TUrlOpener::TUrlOpener() = default;

TUrlOpener::~TUrlOpener()
{
    for (const std::unique_ptr<QProcess>& process : m_running) {
        process->disconnect();
        process->kill();
        process->waitForFinished();
    }
}

void TUrlOpener::open(const QUrl& url, Failed failed)
{
    const QString program = QStandardPaths::findExecutable(Opener);
    if (program.isEmpty()) {
        failed(QStringLiteral("no program could be started to open it (%1 is not installed)")
                   .arg(Opener));
        return;
    }
    auto process = std::make_unique<QProcess>();
    QProcess* started = process.get();
    // The program it starts may outlive us; it must not hold a pipe of ours.
    started->setStandardInputFile(QProcess::nullDevice());
    started->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(
        started, &QProcess::errorOccurred, started,
        [this, started, failed](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            const QString problem =
                QStringLiteral("%1 could not be started: %2").arg(Opener, started->errorString());
            forget(started);
            failed(problem);
        });
    QObject::connect(started, &QProcess::finished, started,
                     [this, started, failed](int status, QProcess::ExitStatus how) {
                         forget(started);
                         if (how == QProcess::CrashExit)
                             failed(QStringLiteral("%1 ended abnormally").arg(Opener));
                         else if (status != 0)
                             failed(ExitProblem(status));
                     });
    m_running.push_back(std::move(process));
    started->start(program, {url.toString(QUrl::FullyEncoded)});
}

// The statuses xdg-open documents.
QString TUrlOpener::ExitProblem(int status)
{
    QString problem = QStringLiteral("%1 ended with status %2").arg(Opener).arg(status);
    switch (status) {
    case 1:
        return problem + QStringLiteral(" (it did not understand its command)");
    case 2:
        return problem + QStringLiteral(" (the file is not there)");
    case 3:
        return problem + QStringLiteral(" (no program to open it is installed)");
    case 4:
        return problem + QStringLiteral(" (the program that was to open it failed)");
    default:
        return problem;
    }
}

// The process goes once its signal has been handled.
void TUrlOpener::forget(QProcess* process)
{
    const auto found = std::ranges::find_if(
        m_running, [process](const std::unique_ptr<QProcess>& p) { return p.get() == process; });
    if (found == m_running.end())
        return;
    found->release()->deleteLater();
    m_running.erase(found);
}

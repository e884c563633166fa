#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

class QProcess;

// Opens a web page or a local file with the user's preferred program through xdg-open, run
// as a program of its own and never through a shell. Only xdg-open's exit status tells that
// it found no program (no web browser installed, say), so the opener learns it without
// holding up the window: the failure is told when xdg-open has ended.
class TUrlOpener
{
public:
    // Why the page could not be opened, e.g. "xdg-open ended with status 3 (no program to
    // open it is installed)".
    using Failed = std::function<void(const QString& problem)>;

    static const QString Opener;

    TUrlOpener();
    // An xdg-open still running is stopped and reaped; its end is told to nobody.
    ~TUrlOpener();
    TUrlOpener(const TUrlOpener&) = delete;
    TUrlOpener& operator=(const TUrlOpener&) = delete;

    // failed is called at once when xdg-open cannot be started, else when it has ended
    // without success.
    void open(const QUrl& url, Failed failed);

    // What an exit status of xdg-open means, for the user.
    static QString ExitProblem(int status);

private:
    void forget(QProcess* process);

    std::vector<std::unique_ptr<QProcess>> m_running;
};

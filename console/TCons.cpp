#include "TCons.h"

#include "CommandLine.h"
#include "TPtyProcess.h"
#include "TScreen.h"

#include <cstring>
#include <optional>
#include <sys/wait.h>

TCons::TCons() = default;

TCons::~TCons() = default;

void TCons::PumpEvents()
{
    if (Pump)
        Pump();
}

// ShowConsole has no meaning here: the terminal is never shown, and the title is only kept.
bool TCons::Execute(const QString& Title, const QString& CommandLine, bool /*ShowConsole*/,
                    const QString& WorkDir)
{
    m_result = false;
    m_waitStatus = 0;
    const QStringList arguments = SplitCommandLine(CommandLine);
    if (!(m_screen ? ClearScreen() : AcquireConsole())) {
        m_startError = QStringLiteral("cannot start %1: terminal screen: %2")
                           .arg(arguments.value(0), m_startError);
        return m_result;
    }

    TPtyProcess process(*m_screen, m_screenMutex);
    // "0" is what the settings hold for a folder never set: the child inherits ours. Any
    // other text, the empty one included, is the child's folder.
    std::optional<QString> folder;
    if (WorkDir != QStringLiteral("0"))
        folder = WorkDir;
    if (!process.start(arguments, folder, &m_startError))
        return m_result;
    m_startError.clear();

    ConsoleReady = true;
    m_title = Title;
    PumpEvents();
    bool running = true;
    while (running) {
        Poll();
        // A stop asked for while the events were pumped, or by the poll callback, lands
        // before the next wait.
        if (Abort)
            process.kill();
        running = !process.waitForExit(PollMilliseconds);
        PumpEvents();
    }
    m_waitStatus = process.waitStatus();
    process.finishOutput();
    Poll();
    PumpEvents();
    m_result = true;
    ConsoleReady = false;
    return m_result;
}

QString TCons::endRow(const QString& tool) const
{
    if (WIFSIGNALED(m_waitStatus)) {
        const int signal = WTERMSIG(m_waitStatus);
        return QStringLiteral("%1 was stopped by signal %2 (%3)")
            .arg(tool)
            .arg(signal)
            .arg(QString::fromLocal8Bit(strsignal(signal)));
    }
    if (WIFEXITED(m_waitStatus) && WEXITSTATUS(m_waitStatus) != 0)
        return QStringLiteral("%1 ended with exit status %2")
            .arg(tool)
            .arg(WEXITSTATUS(m_waitStatus));
    return QString();
}

void TCons::Poll()
{
    if (ConsoleReady)
        TakeSnapshot();
    if (OnPoll)
        OnPoll(this);
}

// The first run makes the screen; a later run whose size was changed makes a new one. False,
// with the reason in m_startError, when there is no memory for it.
bool TCons::AcquireConsole()
{
    m_screen = TScreen::Create(BufferRows, BufferColumns, &m_startError);
    return m_screen != nullptr;
}

bool TCons::ClearScreen()
{
    if (m_screen->rows() != BufferRows || m_screen->columns() != BufferColumns)
        return AcquireConsole();
    std::lock_guard lock(m_screenMutex);
    m_screen->clear();
    return true;
}

void TCons::TakeSnapshot()
{
    QStringList rows;
    {
        std::lock_guard lock(m_screenMutex);
        rows = m_screen->rowTexts();
    }
    Lines = SnapshotRows(rows);
}

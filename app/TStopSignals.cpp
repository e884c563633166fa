#include "TStopSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end is used by the signal handler, which may only make async-signal-safe calls.
int g_signalPipe[2] = {-1, -1};

void NoteSignal(int)
{
    const char byte = 1;
    (void)!write(g_signalPipe[1], &byte, 1);
}

} // namespace

TStopSignals::TStopSignals(std::function<void()> onStop) : m_onStop(std::move(onStop))
{
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        m_onStop();
    });
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM})
        sigaction(signal, &action, nullptr);
}

TStopSignals::~TStopSignals()
{
    struct sigaction dflt = {};
    dflt.sa_handler = SIG_DFL;
    for (int signal : {SIGINT, SIGTERM})
        sigaction(signal, &dflt, nullptr);
    m_notifier.reset();
    for (int& fd : g_signalPipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// SIGTERM (a desktop session ending) and SIGINT (Ctrl+C in the starting terminal) are a close
// request: the handler only notes the signal, and the event loop then calls `onStop`.
class TStopSignals
{
public:
    explicit TStopSignals(std::function<void()> onStop);
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onStop;
};

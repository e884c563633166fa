#include "EventLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Results that other threads hand back through the event loop need an application object.
class TQtApplication : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[6] = "tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};
const auto* const QtApplication = ::testing::AddGlobalTestEnvironment(new TQtApplication);

} // namespace

bool RunEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

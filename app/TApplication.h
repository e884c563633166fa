#pragma once

#include <QApplication>

// The desktop application: an exception that would leave an event handler is shown in a
// message box instead of crossing the event loop.
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

// True when there is a display to show a window on: an X or Wayland display, or a Qt
// platform chosen explicitly.
bool HasDisplay();

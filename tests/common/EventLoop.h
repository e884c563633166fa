#pragma once

#include <functional>

// Runs the test thread's Qt events until `done` holds; false when it still does not after a
// minute, a bound that only keeps a broken program from hanging its test. A test program
// without an application object of its own gets one.
bool RunEventsUntil(const std::function<bool()>& done);

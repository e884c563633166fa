#pragma once

#include <QString>
#include <functional>

// Named pipes in the place of files, as a user or an attacker may put them.

// Makes a named pipe at path, in place of whatever was there.
bool MakePipe(const QString& path);

// Runs call on a thread of its own and returns once it has returned. A call that still runs
// after a minute waits on a pipe, and no thread can be freed from that: the test process then
// ends as failed instead of hanging.
void RunWithoutWaiting(const char* what, const std::function<void()>& call);

// Opens the pipe's writing end without waiting: -1 while the path names no pipe or no one has
// the pipe open for reading, so a test learns that a tool has opened it.
int OpenPipeWriter(const QString& pipe);

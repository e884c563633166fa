#include "Pipes.h"

#include <QFile>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

bool MakePipe(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    unlink(name.constData());
    return mkfifo(name.constData(), 0600) == 0;
}

int OpenPipeWriter(const QString& pipe)
{
    const int fd = open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))) {
        close(fd);
        return -1;
    }
    return fd;
}

void RunWithoutWaiting(const char* what, const std::function<void()>& call)
{
    std::packaged_task<void()> task(call);
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    // The bound only ends a broken call; a sound one returns at once.
    if (done.wait_for(std::chrono::minutes(1)) != std::future_status::ready) {
        std::fprintf(stderr, "%s waits on a pipe\n", what);
        _exit(1);
    }
    worker.join();
}

#include "TPtyProcess.h"

#include "FileSystem.h"
#include "LocalNames.h"
#include "TScreen.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utmp.h>
#include <vector>

extern char** environ;

namespace {

QString errnoText(const QString& what, int error)
{
    return what + QStringLiteral(": ") + ErrnoText(error);
}

QString cannotStart(const QString& program)
{
    return QStringLiteral("cannot start ") + program;
}

void closeEach(std::initializer_list<int> fds)
{
    for (int fd : fds) {
        if (fd >= 0)
            close(fd);
    }
}

// Everything the child needs is prepared before fork: after fork only async-signal-safe
// calls are allowed, since the parent may have other threads.
struct ExecImage
{
    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    std::vector<char*> envp;
    // Where the program may be: itself when its name holds a "/", else each folder of PATH
    // in turn, as a shell would look.
    std::vector<QByteArray> candidates;
    QByteArray workDir;
    bool changeDir = false;

    ExecImage(const QStringList& arguments, const std::optional<QString>& folder)
    {
        // A file name that is not valid UTF-8 reaches the tool with its own bytes.
        for (const QString& arg : arguments)
            storage.push_back(PathBytes(arg));
        const size_t argc = storage.size();
        // Tools print UTF-8 under a UTF-8 locale; TERM tells them what they are talking to.
        storage.push_back("TERM=xterm");
        storage.push_back("LC_ALL=C.UTF-8");
        for (char** e = environ; *e; ++e) {
            if (strncmp(*e, "TERM=", 5) != 0 && strncmp(*e, "LC_ALL=", 7) != 0)
                storage.push_back(*e);
        }
        for (size_t i = 0; i < storage.size(); ++i)
            (i < argc ? argv : envp).push_back(storage[i].data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        changeDir = folder.has_value();
        if (changeDir)
            workDir = PathBytes(*folder);
        findCandidates(storage.front());
    }

private:
    void findCandidates(const QByteArray& program)
    {
        if (program.isEmpty() || program.contains('/')) {
            candidates.push_back(program);
            return;
        }
        const char* path = getenv("PATH");
        for (const QByteArray& folder : QByteArray(path ? path : "/bin:/usr/bin").split(':'))
            candidates.push_back((folder.isEmpty() ? QByteArray(".") : folder) + '/' + program);
    }
};

// Runs the first candidate that can be run. A file that is not a program (no "#!" line, no
// binary format the kernel knows) is an exec format error, never a script for /bin/sh, which
// is what execvp would make of it: a tool is never run through a shell.
void execProgram(const ExecImage& image)
{
    int reason = ENOENT;
    for (const QByteArray& candidate : image.candidates) {
        execve(candidate.constData(), image.argv.data(), image.envp.data());
        if (errno == EACCES)
            reason = EACCES;
        else if (errno != ENOENT && errno != ENOTDIR)
            return;
    }
    errno = reason;
}

[[noreturn]] void runChild(int slave, int errorPipe, const ExecImage& image)
{
    login_tty(slave);
    struct sigaction dflt = {};
    dflt.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &dflt, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // What failed: 0 entering the folder, 1 the program itself; then errno.
    int failure[2] = {0, 0};
    if (!image.changeDir || chdir(image.workDir.constData()) == 0) {
        failure[0] = 1;
        execProgram(image);
    }
    failure[1] = errno;
    (void)!write(errorPipe, failure, sizeof failure);
    _exit(127);
}

bool forkChild(pid_t* pid, int slave, const int errorPipe[2], const ExecImage& image,
               QString* error)
{
    *pid = fork();
    if (*pid == 0) {
        close(errorPipe[0]);
        runChild(slave, errorPipe[1], image);
    }
    if (*pid > 0)
        return true;
    *error = errnoText(QStringLiteral("fork"), errno);
    return false;
}

// Why the child could not start, in words; empty when exec succeeded and the close-on-exec
// pipe closed.
QString childStartError(int errorPipe, const QStringList& argv,
                        const std::optional<QString>& folder)
{
    int failure[2] = {0, 0};
    ssize_t got;
    do {
        got = read(errorPipe, failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    if (got != sizeof failure)
        return QString();
    const QString program = cannotStart(argv.first());
    if (failure[0] == 0)
        return errnoText(program + QStringLiteral(" in ") + folder.value_or(QString()), failure[1]);
    return errnoText(program, failure[1]);
}

// A new terminal pair, both sides close-on-exec from the moment they exist: other threads
// may start tools at the same time, and a tool that inherited another run's terminal would
// keep that terminal open after its own child has ended.
bool OpenPty(int* master, int* slave, const winsize& size, QString* error)
{
    *master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0 ||
        ptsname_r(*master, name, sizeof name) != 0 ||
        (*slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
        *error = errnoText(QStringLiteral("openpty"), errno);
        return false;
    }
    ioctl(*slave, TIOCSWINSZ, &size);
    return true;
}

} // namespace

TPtyProcess::TPtyProcess(TScreen& screen, std::mutex& screenMutex)
    : m_screen(screen), m_screenMutex(screenMutex)
{}

TPtyProcess::~TPtyProcess()
{
    if (m_pid > 0 && !m_exited) {
        kill();
        while (!waitForExit(1000)) {
        }
    }
    if (m_reader.joinable())
        finishOutput();
    closeFds();
}

// Everything the run needs is had before the child starts: the descriptors and the reader.
// A run that cannot have one of them does not start, since without the reader the child
// could block on a full terminal and the end could not be waited for.
bool TPtyProcess::start(const QStringList& argv, const std::optional<QString>& workDir,
                        QString* error)
{
    if (argv.isEmpty()) {
        *error = errnoText(QStringLiteral("empty command line"), ENOENT);
        return false;
    }
    const ExecImage image(argv, workDir);
    int slave = -1;
    int errorPipe[2] = {-1, -1};
    QString problem;
    const bool forked = OpenFds(&slave, errorPipe, &problem) && StartReader(&problem) &&
                        forkChild(&m_pid, slave, errorPipe, image, &problem);
    closeEach({slave, errorPipe[1]});
    *error = forked ? childStartError(errorPipe[0], argv, workDir)
                    : cannotStart(argv.first()) + QStringLiteral(": ") + problem;
    closeEach({errorPipe[0]});
    if (!error->isEmpty()) {
        endFailedStart();
        return false;
    }
    m_pidFd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    return true;
}

// A child whose exec failed has ended; the reader, if it started, is stopped.
void TPtyProcess::endFailedStart()
{
    while (m_pid > 0 && waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
    }
    m_exited = true;
    finishOutput();
    closeFds();
}

// The reader is woken through m_wakeFd at the end; the exec pipe tells a failed exec.
bool TPtyProcess::OpenFds(int* slave, int errorPipe[2], QString* error)
{
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        *error = errnoText(QStringLiteral("eventfd"), errno);
        return false;
    }
    struct winsize size = {};
    size.ws_row = static_cast<unsigned short>(m_screen.rows());
    size.ws_col = static_cast<unsigned short>(m_screen.columns());
    if (!OpenPty(&m_master, slave, size, error))
        return false;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        *error = errnoText(QStringLiteral("pipe"), errno);
        return false;
    }
    return true;
}

bool TPtyProcess::StartReader(QString* error)
{
    try {
        m_reader = std::thread(&TPtyProcess::readLoop, this);
        return true;
    } catch (const std::system_error& failure) {
        *error =
            QStringLiteral("terminal reader: ") + QString::fromStdString(failure.code().message());
        return false;
    }
}

bool TPtyProcess::waitForExit(int timeoutMs)
{
    if (m_exited)
        return true;
    if (m_pidFd >= 0) {
        pollfd pfd{m_pidFd, POLLIN, 0};
        while (poll(&pfd, 1, timeoutMs) < 0 && errno == EINTR) {
        }
        return reap();
    }
    // Kernels without pidfd: look at the child in short steps.
    for (int waited = 0; !reap() && waited < timeoutMs; waited += 5)
        usleep(5000);
    return m_exited;
}

bool TPtyProcess::reap()
{
    pid_t done;
    do {
        done = waitpid(m_pid, &m_status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    // A failing query (the child is not ours any more) counts as an ended child.
    m_exited = done != 0;
    return m_exited;
}

void TPtyProcess::kill()
{
    if (m_pid > 0 && !m_exited) {
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
    }
}

void TPtyProcess::finishOutput()
{
    if (!m_reader.joinable())
        return;
    const uint64_t one = 1;
    (void)!write(m_wakeFd, &one, sizeof one);
    m_reader.join();
}

void TPtyProcess::readLoop()
{
    pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        while (poll(fds, 2, -1) < 0 && errno == EINTR) {
        }
        if (fds[0].revents != 0 && !readOnce(0))
            return;
        if (fds[1].revents != 0)
            break;
    }
    // The child has ended. What it wrote last may still be on its way through the terminal:
    // read until the terminal reports its far side closed. A grandchild that keeps the
    // terminal open must not hold us forever, so give up after a quiet spell or a total bound.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline && readOnce(100)) {
    }
}

bool TPtyProcess::readOnce(int timeoutMs)
{
    if (timeoutMs > 0) {
        pollfd pfd{m_master, POLLIN, 0};
        int ready;
        while ((ready = poll(&pfd, 1, timeoutMs)) < 0 && errno == EINTR) {
        }
        if (ready == 0)
            return false;
    }
    char buffer[65536];
    ssize_t got;
    do {
        got = read(m_master, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && errno == EAGAIN)
        return true;
    // EIO on the master: every holder of the far side has closed it.
    if (got <= 0)
        return false;
    std::lock_guard lock(m_screenMutex);
    m_screen.feed(buffer, static_cast<size_t>(got));
    return true;
}

void TPtyProcess::closeFds()
{
    for (int* fd : {&m_master, &m_pidFd, &m_wakeFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

// A stand-in for a codec tool that never finishes, for the tests that must catch a tool in
// the middle of its work however fast the machine is. A test links it into a tool folder
// under the tool's name (lame, flac, metaflac, mac) and steers it through the environment:
//
//   STALL_EXEC    the real tool, run in its place (same arguments, same terminal) by every
//                 call that is not to stall
//   STALL_ON      a call stalls when one of its arguments contains this text; every call
//                 stalls when it is empty or unset
//   STALL_ROWS    what a stalling call prints first, e.g. a progress row of the real tool
//   STALL_OUTPUT  a stalling call first writes a few bytes into its first argument that ends
//                 with this text, as the real tool would have begun its output file
//   STALL_SIGNAL  a stalling call then dies of this signal, as a tool killed from outside
//   STALL_PIDS    a file to which a stalling call appends its process id once it has printed
//                 its rows, so that a test knows it stalls and can see it gone afterwards
//   STALL_FIFO    a stalling call puts a named pipe in the place of its first argument that
//                 ends with this text, tells its process id and runs STALL_EXEC: the real tool
//                 then waits on the pipe, as on a source swapped for a pipe after it was checked
//
// Otherwise a stalling call waits for its end. It gives up after two minutes with status 3,
// so a stop that never comes fails a test instead of hanging it; it then appends the line
// "gave up" to STALL_PIDS, so that a test can tell such an end from a stop.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where a call that gives up says so; the signal handler may only write to it.
int g_pidsFd = -1;

std::string_view Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool Stalls(int argc, char** argv)
{
    const std::string_view on = Env("STALL_ON");
    if (on.empty())
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]).find(on) != std::string_view::npos)
            return true;
    }
    return false;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return !suffix.empty() && text.size() >= suffix.size() &&
           text.substr(text.size() - suffix.size()) == suffix;
}

void WritePartialOutput(int argc, char** argv)
{
    const std::string_view suffix = Env("STALL_OUTPUT");
    const std::string_view on = Env("STALL_ON");
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (EndsWith(arg, suffix) && (on.empty() || arg.find(on) == std::string_view::npos)) {
            if (std::FILE* file = std::fopen(argv[i], "wb")) {
                std::fputs("the first bytes of an output that was never finished", file);
                std::fclose(file);
            }
            return;
        }
    }
}

void TellPid()
{
    const std::string_view pids = Env("STALL_PIDS");
    if (pids.empty())
        return;
    if (std::FILE* file = std::fopen(pids.data(), "a")) {
        std::fprintf(file, "%d\n", int(getpid()));
        std::fclose(file);
    }
}

bool SwapForPipe(int argc, char** argv)
{
    const std::string_view suffix = Env("STALL_FIFO");
    for (int i = 1; i < argc; ++i) {
        if (EndsWith(argv[i], suffix))
            return unlink(argv[i]) == 0 && mkfifo(argv[i], 0600) == 0;
    }
    return false;
}

int RunRealTool(char** argv)
{
    const std::string_view real = Env("STALL_EXEC");
    if (real.empty())
        return 2;
    execv(real.data(), argv);
    std::perror("stall: cannot run STALL_EXEC");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (!Stalls(argc, argv))
        return RunRealTool(argv);
    if (SwapForPipe(argc, argv)) {
        TellPid();
        return RunRealTool(argv);
    }
    WritePartialOutput(argc, argv);
    std::fputs(Env("STALL_ROWS").data(), stderr);
    std::fflush(stderr);
    TellPid();
    if (const int signal = std::atoi(Env("STALL_SIGNAL").data()); signal > 0)
        raise(signal);
    if (const std::string_view pids = Env("STALL_PIDS"); !pids.empty())
        g_pidsFd = open(pids.data(), O_WRONLY | O_APPEND | O_CLOEXEC);
    std::signal(SIGALRM, [](int) {
        if (g_pidsFd >= 0)
            (void)!write(g_pidsFd, "gave up\n", 8);
        _exit(3);
    });
    alarm(120);
    for (;;)
        pause();
}

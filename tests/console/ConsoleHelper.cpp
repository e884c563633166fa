// A small console program for the runner's tests: each mode prints what one case needs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void pauseMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void writeAll(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int run(const std::string& mode, const char* arg, const char* marker)
{
    const int n = arg ? std::atoi(arg) : 0;
    if (mode == "nothing")
        return 0;
    if (mode == "print") {
        writeAll(std::string(arg) + "\n");
        return 0;
    }
    if (mode == "redraw") {
        // Progress redrawn in place, as LAME and mac do.
        for (int percent : {5, 40, 75, 99})
            writeAll("progress " + std::to_string(percent) + "%\r"), pauseMs(20);
        writeAll("progress 100%\n");
        return 0;
    }
    if (mode == "rows05") {
        writeAll("top row\n\n\n\n\nrow five\n\n\n");
        return 0;
    }
    if (mode == "blanks") {
        writeAll("  50%  \n");
        return 0;
    }
    if (mode == "long") {
        writeAll(std::string(static_cast<size_t>(n), 'x') + "\n");
        return 0;
    }
    if (mode == "lines") {
        for (int i = 0; i < n; ++i)
            writeAll("line " + std::to_string(i) + "\n");
        return 0;
    }
    if (mode == "utf8") {
        writeAll("Café naïve 日本語 end\n");
        return 0;
    }
    if (mode == "flood") {
        // n kilobytes in one go, then a last row the runner must not lose; then, when asked,
        // a marker file that tells the test the writing never blocked.
        const std::string row(99, '#');
        for (int i = 0; i < n * 1024 / 100; ++i)
            std::fwrite((row + "\n").data(), 1, 100, stdout);
        writeAll("the very last row\n");
        if (marker)
            std::fclose(std::fopen(marker, "w"));
        return 0;
    }
    if (mode == "lastrow") {
        writeAll("encoding\nWriting LAME Tag...done");
        return 0;
    }
    if (mode == "pwd") {
        char buffer[4096];
        writeAll(std::string(getcwd(buffer, sizeof buffer) ? buffer : "?") + "\n");
        return 0;
    }
    if (mode == "exit")
        return n;
    if (mode == "sleep") {
        writeAll("sleeping\n");
        for (;;)
            pause();
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    return run(argv[1], argc > 2 ? argv[2] : nullptr, argc > 3 ? argv[3] : nullptr);
}

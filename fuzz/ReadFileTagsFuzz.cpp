// libFuzzer target for the APE/ID3v1 tag reader: every input is a whole file, read by
// TApe::ReadFileTags the way a job reads its source. The sanitizers report any read or
// write outside the reader's buffers; libFuzzer reports inputs that make it hang.

#include "TApe.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The input lives in an in-memory file that the reader opens by its /proc path like any
// other file: nothing is left on disk, and no disk slows the run.
struct InputFile
{
    int fd = memfd_create("fuzz-input.ape", 0);
    QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const InputFile input;
    if (input.fd < 0 || ftruncate(input.fd, 0) != 0 ||
        pwrite(input.fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    TApe ape;
    ape.ReadFileTags(input.path);
    return 0;
}

#include "TScreen.h"

#include "FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <vector>
#include <vterm.h>

// libvterm does not check what its allocator returns: an allocation that fails is a write
// through a null pointer. So a screen takes its memory from one block reserved up front, and
// a screen that cannot have it is one checked result. libvterm allocates what it needs when
// the terminal is made and frees it with the terminal; while a tool runs it only grows its
// buffer for a run of combining marks, which the spare part of the block serves (the C heap
// takes over beyond it, for runs of thousands of marks).
class TScreen::TMemory
{
public:
    static std::unique_ptr<TMemory> Reserve(int rows, int columns, int* error);
    ~TMemory() { munmap(m_base, m_size); }
    TMemory(const TMemory&) = delete;
    TMemory& operator=(const TMemory&) = delete;

    static VTermAllocatorFunctions Functions;

private:
    static constexpr size_t Alignment = alignof(std::max_align_t);
    static constexpr size_t Spare = 64 * 1024;

    TMemory(char* base, size_t size) : m_base(base), m_size(size) {}
    static void* Allocate(size_t size, void* self);
    static void Free(void* block, void* self);
    bool Holds(const void* block) const;

    char* m_base;
    size_t m_size;
    size_t m_used = 0;
};

VTermAllocatorFunctions TScreen::TMemory::Functions = {&TMemory::Allocate, &TMemory::Free};

// Every cell of the screen, one row more for the row that scrolls away, a little per row and
// column for the line and tab state, and the spare part.
std::unique_ptr<TScreen::TMemory> TScreen::TMemory::Reserve(int rows, int columns, int* error)
{
    size_t cells = 0;
    size_t size = 0;
    if (rows <= 0 || columns <= 0 ||
        __builtin_mul_overflow(size_t(rows) + 1, size_t(columns), &cells) ||
        __builtin_mul_overflow(cells, sizeof(VTermScreenCell), &size) ||
        __builtin_add_overflow(size, 64 * (size_t(rows) + size_t(columns)) + Spare, &size)) {
        *error = rows <= 0 || columns <= 0 ? EINVAL : ENOMEM;
        return nullptr;
    }
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        *error = errno;
        return nullptr;
    }
    std::unique_ptr<TMemory> memory(new (std::nothrow) TMemory(static_cast<char*>(base), size));
    if (!memory) {
        munmap(base, size);
        *error = ENOMEM;
    }
    return memory;
}

// The block is handed out front to back and comes back as a whole with the screen; it is
// fresh from the system, so already zeroed.
void* TScreen::TMemory::Allocate(size_t size, void* self)
{
    TMemory& memory = *static_cast<TMemory*>(self);
    const size_t rounded = (size + Alignment - 1) / Alignment * Alignment;
    if (rounded >= size && rounded <= memory.m_size - memory.m_used) {
        void* block = memory.m_base + memory.m_used;
        memory.m_used += rounded;
        return block;
    }
    return std::calloc(1, size);
}

void TScreen::TMemory::Free(void* block, void* self)
{
    if (!static_cast<TMemory*>(self)->Holds(block))
        std::free(block);
}

bool TScreen::TMemory::Holds(const void* block) const
{
    const char* at = static_cast<const char*>(block);
    return at >= m_base && at < m_base + m_size;
}

std::unique_ptr<TScreen> TScreen::Create(int rows, int columns, QString* error)
{
    int failure = 0;
    std::unique_ptr<TMemory> memory = TMemory::Reserve(rows, columns, &failure);
    std::unique_ptr<TScreen> screen;
    if (memory)
        screen.reset(new (std::nothrow) TScreen(rows, columns, std::move(memory)));
    if (!screen)
        *error = ErrnoText(failure != 0 ? failure : ENOMEM);
    return screen;
}

TScreen::TScreen(int rows, int columns, std::unique_ptr<TMemory> memory)
    : m_rows(rows), m_columns(columns), m_memory(std::move(memory)),
      m_vterm(vterm_new_with_allocator(rows, columns, &TMemory::Functions, m_memory.get()))
{
    vterm_set_utf8(m_vterm, 1);
    m_screen = vterm_obtain_screen(m_vterm);
    vterm_screen_reset(m_screen, 1);
}

TScreen::~TScreen()
{
    vterm_free(m_vterm);
}

void TScreen::feed(const char* bytes, std::size_t size)
{
    vterm_input_write(m_vterm, bytes, size);
}

void TScreen::clear()
{
    vterm_screen_reset(m_screen, 1);
}

QStringList TScreen::rowTexts() const
{
    QStringList rows;
    rows.reserve(m_rows);
    for (int r = 0; r < m_rows; ++r)
        rows << rowText(r);
    return rows;
}

// libvterm reads a row as code points: a wide character once, combining marks after their
// base, unwritten cells as blanks up to the last written cell.
QString TScreen::rowText(int row) const
{
    std::vector<uint32_t> chars(static_cast<size_t>(m_columns) * VTERM_MAX_CHARS_PER_CELL);
    const VTermRect rect{row, row + 1, 0, m_columns};
    const size_t count = vterm_screen_get_chars(m_screen, chars.data(), chars.size(), rect);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.data()),
                             static_cast<qsizetype>(count));
}

static QString rightTrimmed(const QString& row)
{
    qsizetype end = row.size();
    while (end > 0 && row.at(end - 1).unicode() <= 32)
        --end;
    return row.left(end);
}

QStringList SnapshotRows(const QStringList& rowTexts)
{
    QStringList lines;
    lines.reserve(rowTexts.size());
    qsizetype lastNonBlank = 0;
    for (const QString& row : rowTexts) {
        lines << rightTrimmed(row);
        // After the right trim a row holds text exactly when it is not empty.
        if (!lines.last().isEmpty())
            lastNonBlank = lines.size() - 1;
    }
    if (!lines.isEmpty())
        lines.resize(lastNonBlank + 1);
    return lines;
}

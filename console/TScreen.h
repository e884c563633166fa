#pragma once

#include <QStringList>
#include <cstddef>
#include <memory>

struct VTerm;
struct VTermScreen;

// The character screen a tool writes into: a libvterm terminal of a fixed size that applies
// carriage returns, backspaces, line feeds, wrapping, scrolling and escape sequences. Not
// thread-safe: the owner serialises access.
class TScreen
{
public:
    // A blank screen; null, with errno's text in *error, when its memory cannot be had.
    static std::unique_ptr<TScreen> Create(int rows, int columns, QString* error);
    ~TScreen();
    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }

    void feed(const char* bytes, std::size_t size);
    // Blanks every cell and puts the cursor home.
    void clear();
    // One text per screen row, top to bottom; a wide character is emitted once although it
    // covers two cells.
    QStringList rowTexts() const;

private:
    class TMemory;

    TScreen(int rows, int columns, std::unique_ptr<TMemory> memory);
    QString rowText(int row) const;

    int m_rows;
    int m_columns;
    // Declared before the terminal, which lives in it, so that it is released after it.
    std::unique_ptr<TMemory> m_memory;
    VTerm* m_vterm = nullptr;
    VTermScreen* m_screen = nullptr;
};

// The runner's snapshot rules: right-trim characters with codes 0..32 from every row, keep
// row 0 even when blank, drop the blank rows below the last row that holds text.
QStringList SnapshotRows(const QStringList& rowTexts);

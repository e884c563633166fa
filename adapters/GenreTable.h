#pragma once

#include <QString>
#include <QStringList>
#include <array>

// One row of the genre table. A genre entered under two spellings takes two neighbouring
// rows: the first has Pair 397, the second 398, and each row's AltName is the other's Name.
struct GenreEntry
{
    QString Name;
    QString AltName;
    int Pair = 0;

    bool operator==(const GenreEntry&) const = default;
};

inline constexpr int GenreRowCount = 156;
inline constexpr int GenreFirstOfPair = 397;
inline constexpr int GenreSecondOfPair = 398;
using GenreTable = std::array<GenreEntry, GenreRowCount>;

// The table every adapter copies: built on first use, once per program run.
const GenreTable& SharedGenreTable();

// The numbered genres 0..147 of the ID3v1 tag: every row but the first row of a pair, each
// under its AltName, so a pair is numbered once under its first spelling.
QStringList GenreNumbering(const GenreTable& table);

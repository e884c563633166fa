#pragma once

#include <QString>

#include <array>

// One row of the genre table. A genre entered under two spellings takes two neighbouring
// rows: the first has Pair 397, the second 398, and each row's AltName is the other's Name.
struct GenreEntry
{
    QString Name;
    QString AltName;
    int Pair = 0;
};

inline constexpr int GenreRowCount = 156;
using GenreTable = std::array<GenreEntry, GenreRowCount>;

#pragma once

#include <QString>

// A colour as red, green and blue, independent of any widget toolkit.
struct TColor
{
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    bool operator==(const TColor&) const = default;
};

// Reads a colour written as "0x00BBGGRR": blue, green and red bytes, red lowest. Text that
// is not such a number gives black.
TColor ColorFromText(const QString& text);

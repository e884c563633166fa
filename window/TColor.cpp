#include "TColor.h"

TColor ColorFromText(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok)
        return {};
    return {int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF)};
}

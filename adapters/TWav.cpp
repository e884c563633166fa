#include "TWav.h"

bool TWav::ConvertToWav(const QString& /*sourcePath*/, const QString& /*wavPath*/)
{
    return true;
}

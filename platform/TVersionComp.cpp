#include "TVersionComp.h"

#include <QFileInfo>

namespace {

bool IsOwnFile(const QString& file)
{
    if (file.isEmpty())
        return true;
    const QString own = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return !own.isEmpty() && QFileInfo(file).canonicalFilePath() == own;
}

} // namespace

TVersionComp::TVersionComp(const QString& file)
{
    SetFile(file);
}

void TVersionComp::SetFile(const QString& file)
{
    m_file = file;
    m_texts.clear();
    if (IsOwnFile(file)) {
        m_texts.insert(QStringLiteral("FileVersion"), QStringLiteral(QUARLOW_FILE_VERSION));
        m_texts.insert(QStringLiteral("ProductVersion"), QStringLiteral(QUARLOW_PRODUCT_VERSION));
        m_texts.insert(QStringLiteral("FileDescription"), QStringLiteral(QUARLOW_FILE_DESCRIPTION));
        m_absentText = QStringLiteral("!.!");
    } else {
        m_absentText = QFileInfo::exists(file) ? QStringLiteral("0.0") : QStringLiteral("?.?");
    }
}

#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// PATH is `path` while it lives, so that the programs of a test's folder stand in for the real
// ones (or none is found); then it is put back as it was.
class TPathOverride
{
public:
    explicit TPathOverride(const QString& path) : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~TPathOverride() { qputenv("PATH", m_saved); }
    TPathOverride(const TPathOverride&) = delete;
    TPathOverride& operator=(const TPathOverride&) = delete;

private:
    QByteArray m_saved;
};

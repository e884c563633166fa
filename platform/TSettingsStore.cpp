#include "TSettingsStore.h"

#include "FileSystem.h"
#include "PathText.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <limits>

namespace {

// The object a root's file holds; empty when the file is missing or is no JSON object.
QJsonObject ReadRoot(const QString& file)
{
    QFile source;
    if (!OpenForReading(source, file))
        return {};
    return QJsonDocument::fromJson(source.readAll()).object();
}

bool IsInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return number == double(qint64(number)) && number >= std::numeric_limits<qint32>::min() &&
           number <= std::numeric_limits<qint32>::max();
}

} // namespace

TSettingsStore::TSettingsStore(QString userFile, QString machineFile, TAccess access)
    : m_userFile(std::move(userFile)), m_machineFile(std::move(machineFile)), m_access(access)
{}

TSettingsStore TSettingsStore::ForThisUser(TAccess access)
{
    const QString relative = QStringLiteral("/Fendrick/KPZ05.json");
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = qEnvironmentVariable("HOME") + QStringLiteral("/.config");
    return TSettingsStore(config + relative, QStringLiteral("/etc/xdg") + relative, access);
}

TStoredValue<QString> TSettingsStore::TKey::readString(const QString& name) const
{
    const QJsonValue value = m_values.value(name);
    if (value.isUndefined())
        return {};
    if (!value.isString())
        return {TStored::OtherType, {}};
    return {TStored::Present, value.toString()};
}

TStoredValue<int> TSettingsStore::TKey::readInteger(const QString& name) const
{
    const QJsonValue value = m_values.value(name);
    if (value.isUndefined())
        return {};
    if (!IsInteger(value))
        return {TStored::OtherType, 0};
    return {TStored::Present, int(value.toDouble())};
}

TSettingsStore::TKey TSettingsStore::OpenForReading(const QString& probe) const
{
    QJsonObject user = ReadRoot(m_userFile);
    if (user.contains(probe))
        return TKey(std::move(user));
    return TKey(ReadRoot(m_machineFile));
}

QString TSettingsStore::Write(const TValues& values) const
{
    if (m_access == TAccess::ReadOnly)
        return QString();
    QJsonObject root = ReadRoot(m_userFile);
    for (const auto& [name, value] : values)
        root.insert(name, value);
    if (!ForceFolders(FolderPart(m_userFile)))
        return QStringLiteral("cannot create the folder of %1").arg(m_userFile);
    QSaveFile file(m_userFile);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(QJsonDocument(root).toJson());
    if (!file.commit())
        return file.errorString();
    return QString();
}

#include "TSettingsStore.h"

#include "LocalNames.h"
#include "PathText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace {

// A root's file as read: what it is, and its values when it is a settings file.
struct TRoot
{
    TRootState State;
    QJsonObject Values;
};

TRoot Broken(const QString& problem)
{
    return {{TRootKind::Broken, problem}, {}};
}

// Only a regular file is read.
QString KindProblem(mode_t mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device");
    return QStringLiteral("it is not a regular file");
}

// "line L, column C" of the byte at `at`, counting characters, not bytes.
QString Position(const QByteArray& bytes, qsizetype at)
{
    const qsizetype lineStart = bytes.lastIndexOf('\n', at - 1) + 1;
    const qsizetype line = bytes.left(at).count('\n') + 1;
    qsizetype column = 1;
    for (qsizetype i = lineStart; i < at; ++i) {
        // A UTF-8 continuation byte belongs to the character before it.
        if ((uchar(bytes.at(i)) & 0xC0) != 0x80)
            ++column;
    }
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

// The parser's offset lies just past what it could not take, at a byte that is not UTF-8, or
// at the start of what follows a whole document: the first non-blank byte from there.
qsizetype ErrorAt(const QByteArray& bytes, const QJsonParseError& error)
{
    const int past = error.error == QJsonParseError::IllegalUTF8String ? 0 : 1;
    qsizetype at = qBound<qsizetype>(0, qsizetype(error.offset) - past, bytes.size());
    while (at < bytes.size() && std::strchr(" \t\r\n", bytes.at(at)) != nullptr)
        ++at;
    return at;
}

QString ValueKind(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    default:
        return QStringLiteral("an array");
    }
}

TRoot Parse(const QByteArray& bytes)
{
    if (bytes.trimmed().isEmpty())
        return Broken(QStringLiteral("it is empty"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (document.isObject())
        return {{TRootKind::Fine, {}}, document.object()};
    // Qt's parser takes only an object or an array: a lone value shows inside one.
    const QJsonArray wrapped = document.isArray()
                                   ? QJsonArray{document.array()}
                                   : QJsonDocument::fromJson('[' + bytes + ']').array();
    if (wrapped.size() == 1)
        return Broken(QStringLiteral("it holds %1 instead of an object of named values")
                          .arg(ValueKind(wrapped.first())));
    return Broken(Position(bytes, ErrorAt(bytes, error)) + QStringLiteral(": ") +
                  error.errorString());
}

// What the file is and holds. Its kind is known before it is opened, so that a pipe (which
// would block the start for ever) or a device is never opened.
TRoot ReadRoot(const QString& file)
{
    struct stat st;
    if (stat(PathBytes(file).constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return Broken(QStringLiteral("it cannot be reached: ") + ErrnoText(errno));
    }
    if (const QString problem = KindProblem(st.st_mode); !problem.isEmpty())
        return Broken(problem);
    QFile source;
    if (!OpenForReading(source, file))
        return Broken(QStringLiteral("it cannot be opened: ") + ErrnoText(errno));
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return Broken(QStringLiteral("it cannot be read: ") + source.errorString());
    return Parse(bytes);
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

// JSON's own true and false say what a tick is as clearly as 1 and 0.
TStoredValue<int> TSettingsStore::TKey::readBoolean(const QString& name) const
{
    const QJsonValue value = m_values.value(name);
    if (value.isBool())
        return {TStored::Present, value.toBool() ? 1 : 0};
    return readInteger(name);
}

TSettingsStore::TKey TSettingsStore::OpenForReading(const QString& probe) const
{
    TRoot user = ReadRoot(m_userFile);
    if (user.Values.contains(probe))
        return TKey(std::move(user.Values), true);
    return TKey(ReadRoot(m_machineFile).Values);
}

TRootState TSettingsStore::UserState() const
{
    return ReadRoot(m_userFile).State;
}

TRootState TSettingsStore::MachineState() const
{
    return ReadRoot(m_machineFile).State;
}

QString TSettingsStore::Unreadable(const QString& file, const TRootState& state)
{
    return QStringLiteral("%1 cannot be read (%2)").arg(file, state.Problem);
}

QString TSettingsStore::SettingsInstead() const
{
    if (MachineState().Kind == TRootKind::Fine)
        return QStringLiteral("the administrator's settings from ") + m_machineFile;
    return QStringLiteral("the default settings");
}

TMade TSettingsStore::SetAsideUserFile(const QDateTime& now) const
{
    if (m_access == TAccess::ReadOnly)
        return {{}, QStringLiteral("the settings are only read")};
    const QString base =
        m_userFile + QStringLiteral(".broken-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString taken = ErrnoText(EEXIST);
    QString error = taken;
    for (int n = 1; n < 100 && error == taken; ++n) {
        const QString target = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        error = RenameNoReplace(m_userFile, target);
        if (error.isEmpty())
            return {target, {}};
    }
    return {{}, error};
}

QString TSettingsStore::Write(const TValues& values) const
{
    if (m_access == TAccess::ReadOnly)
        return QString();
    TRoot root = ReadRoot(m_userFile);
    if (root.State.Kind == TRootKind::Broken)
        return Unreadable(m_userFile, root.State) + QStringLiteral(" and is left as it is");
    for (const auto& [name, value] : values)
        root.Values.insert(name, value);
    if (!ForceFolders(FolderPart(m_userFile)))
        return QStringLiteral("cannot create the folder of %1").arg(m_userFile);
    QSaveFile file(m_userFile);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(QJsonDocument(root.Values).toJson());
    if (!file.commit())
        return file.errorString();
    return QString();
}

void TValuesAsRead::Remember(const TSettingsStore::TKey& key, const TSettingsStore::TValues& made)
{
    m_values.clear();
    for (const auto& [name, value] : made) {
        const QJsonValue stored = key.stored(name);
        const bool sameType = value.isString() ? stored.isString() : IsInteger(stored);
        if (!stored.isUndefined() && !sameType)
            Keep(key, name, value);
    }
}

void TValuesAsRead::Keep(const TSettingsStore::TKey& key, const QString& name,
                         const QJsonValue& made)
{
    if (key.IsUserRoot())
        m_values.insert(name, {made, key.stored(name)});
}

void TValuesAsRead::Forget(const QString& name)
{
    m_values.remove(name);
}

TSettingsStore::TValues TValuesAsRead::KeepUnchanged(TSettingsStore::TValues values) const
{
    for (auto& [name, value] : values) {
        const auto read = m_values.constFind(name);
        if (read != m_values.cend() && read->first == value)
            value = read->second;
    }
    return values;
}

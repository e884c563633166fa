#pragma once

#include "FileSystem.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <utility>

// What a stored value is: there, missing, or of another type than asked for. The program's
// settings keep these apart, as the registry of its home platform did.
enum class TStored
{
    Missing,
    Present,
    OtherType
};

template <typename T> struct TStoredValue
{
    TStored State = TStored::Missing;
    T Value{};
};

// A string value as the program reads it: a missing one is the empty text, one of another
// type is `otherType`.
inline QString StringOr(const TStoredValue<QString>& stored, const QString& otherType)
{
    return stored.State == TStored::OtherType ? otherType : stored.Value;
}

// What a root's file is: none, a settings file, or one that cannot be read as settings.
enum class TRootKind
{
    Missing,
    Fine,
    Broken
};

struct TRootState
{
    TRootKind Kind = TRootKind::Missing;
    // Why a broken file cannot be read, in words for the user: "it is empty", "it is a
    // folder", "line 3, column 1: object is missing after a comma".
    QString Problem;
};

// The program's settings: named values under one key, strings and 32-bit integers (a
// boolean is an integer, non-zero meaning true), in two roots. The user root is read and
// written; the machine root, kept by the administrator, is only read. Each root is a JSON
// file holding one object: a JSON string is a string value, a JSON number that is a whole
// 32-bit number is an integer value; anything else is a value of another type. A root whose
// file cannot be read as one object (no JSON, another JSON value, a folder, a pipe, a device)
// is read as empty and is never written over: its bytes are the user's.
class TSettingsStore
{
public:
    // A read-only store takes the writes of a run without keeping them: the command-line
    // program starts from what the window stored and never changes it.
    enum class TAccess
    {
        ReadWrite,
        ReadOnly
    };

    TSettingsStore(QString userFile, QString machineFile, TAccess access = TAccess::ReadWrite);

    // The program's store: $XDG_CONFIG_HOME/Fendrick/KPZ05.json (~/.config/... when unset)
    // and /etc/xdg/Fendrick/KPZ05.json.
    static TSettingsStore ForThisUser(TAccess access = TAccess::ReadWrite);

    const QString& userFile() const { return m_userFile; }
    const QString& machineFile() const { return m_machineFile; }

    // The values of one root, as read when it was opened.
    class TKey
    {
    public:
        explicit TKey(QJsonObject values = {}, bool userRoot = false)
            : m_values(std::move(values)), m_userRoot(userRoot)
        {}
        bool contains(const QString& name) const { return m_values.contains(name); }
        TStoredValue<QString> readString(const QString& name) const;
        TStoredValue<int> readInteger(const QString& name) const;
        // An integer, or JSON true or false as 1 or 0.
        TStoredValue<int> readBoolean(const QString& name) const;
        // The value as it is stored; undefined when missing.
        QJsonValue stored(const QString& name) const { return m_values.value(name); }
        bool IsUserRoot() const { return m_userRoot; }

    private:
        QJsonObject m_values;
        bool m_userRoot;
    };

    // The user root, or the machine root when the user root has no value named `probe` (also
    // when its file is missing or cannot be read).
    TKey OpenForReading(const QString& probe) const;

    // What each root's file is now. The file is never opened unless it is a regular one.
    TRootState UserState() const;
    TRootState MachineState() const;
    // "<file> cannot be read (<problem>)".
    static QString Unreadable(const QString& file, const TRootState& state);
    // What a start reads when the user root has nothing to give: "the default settings", or
    // the administrator's when the machine root can be read.
    QString SettingsInstead() const;

    // Moves a broken user file out of the way to a new name beside it, made of the time:
    // "KPZ05.json.broken-20261210-143501" (with "-2", "-3"... when that is taken). Nothing is
    // ever replaced. The name it went to, or why it could not be moved.
    TMade SetAsideUserFile(const QDateTime& now) const;

    // Writes the values, in their order, into the user root and keeps its other values. The
    // file is replaced in one step, so a failed write (a folder that cannot be written, a
    // full disk) leaves the previous store as it was. A user file that cannot be read is left
    // as it is and the write refused. Empty on success, else why it failed.
    using TValues = QList<std::pair<QString, QJsonValue>>;
    QString Write(const TValues& values) const;

private:
    QString m_userFile;
    QString m_machineFile;
    TAccess m_access;
};

// The user root's values that a load could not take as they were stored, beside what the
// program made of them: a save writes such a value back as it was stored as long as the
// program has not changed it. A value of another type that read as its default, or JSON true
// for a tick, keeps its bytes and its meaning.
class TValuesAsRead
{
public:
    // made: the values as the program would write them right after reading key. Remembers
    // each one that key holds as another type than made has. Values read from the machine
    // root are the program's own once written.
    void Remember(const TSettingsStore::TKey& key, const TSettingsStore::TValues& made);
    // Remembers one more value of the user root, made of it though of the same type: one that
    // this run cannot use.
    void Keep(const TSettingsStore::TKey& key, const QString& name, const QJsonValue& made);
    // From now on the value is the user's choice, even where it equals what was made of it.
    void Forget(const QString& name);
    // values with each one that is still what the load made of it put back as stored.
    TSettingsStore::TValues KeepUnchanged(TSettingsStore::TValues values) const;

private:
    // What the program made of each value, and how it was stored.
    QHash<QString, std::pair<QJsonValue, QJsonValue>> m_values;
};

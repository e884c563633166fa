#pragma once

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

// The program's settings: named values under one key, strings and 32-bit integers (a
// boolean is an integer, non-zero meaning true), in two roots. The user root is read and
// written; the machine root, kept by the administrator, is only read. Each root is a JSON
// file holding one object: a JSON string is a string value, a JSON number that is a whole
// 32-bit number is an integer value; anything else is a value of another type.
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
        explicit TKey(QJsonObject values = {}) : m_values(std::move(values)) {}
        bool contains(const QString& name) const { return m_values.contains(name); }
        TStoredValue<QString> readString(const QString& name) const;
        TStoredValue<int> readInteger(const QString& name) const;

    private:
        QJsonObject m_values;
    };

    // The user root, or the machine root when the user root has no value named `probe` (also
    // when its file is missing or cannot be read).
    TKey OpenForReading(const QString& probe) const;

    // Writes the values, in their order, into the user root and keeps its other values. The
    // file is replaced in one step, so a failed write (a folder that cannot be written, a
    // full disk) leaves the previous store as it was. Empty on success, else why it failed.
    using TValues = QList<std::pair<QString, QJsonValue>>;
    QString Write(const TValues& values) const;

private:
    QString m_userFile;
    QString m_machineFile;
    TAccess m_access;
};

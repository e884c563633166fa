#pragma once

#include "TSettingsStore.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class TVersionComp;

// What the update check keeps between starts (stored as "julianday", "checkupdate",
// "applversnew", "progversnew" and "applversretrieved") and today's day number.
struct TUpdateState
{
    // The day number stored at the last exit.
    QString StoredDay;
    // Today's day number; stored at exit.
    QString DayToStore;
    bool CheckUpdates = true;
    // The newest file and product versions the version file announced.
    QString applversnew;
    QString progversnew;
    // The user has been told of applversnew since the last fetch.
    bool applversretrieved = false;
};

// What the update check shows.
class IUpdateView
{
public:
    virtual ~IUpdateView() = default;
    // "Checking for latest version": shown, and drawn at once, while the version file is
    // fetched.
    virtual void setVersionCheckVisible(bool visible) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual QString windowCaption() const = 0;
    virtual void setWindowCaption(const QString& caption) = 0;
    // A modal message with an OK button.
    virtual void showUpdateMessage(const QString& text, const QString& title) = 0;
};

// The host (and ":port") of the maker's web server as the build names it; empty when the
// build names none.
extern const QString BuildWebHost;

// The host the version file is fetched from: the stored string "WebHost" as stored (the
// empty text included, which turns the check off), else the build's.
QString UpdateHost(const TStoredValue<QString>& storedWebHost);

// The local date as a day number: whole days since 30 December 1899, as decimal text.
QString DayNumber(const QDate& date);

// -1, 0 or 1 as version text a is lower than, equal to or higher than b, judged by the
// first four dot-separated fields; -9 when either text is no version text: fewer than four
// fields, more than 255 characters, or one of the four fields longer than 7 characters.
int CompareVersions(const QString& a, const QString& b);

// The lines of an INI text's section (name without case), each trimmed, without empty
// lines and ";" comments, and with the blanks around the first "=" removed. A section that
// comes again continues.
QStringList IniSectionLines(const QString& text, const QString& section);

// Once a day, asks the maker's web server for the newest versions and tells the user about
// a newer release: once in a message, afterwards in the window caption.
class TUpdateCheck
{
public:
    // An empty host means no check: every fetch fails without a request.
    TUpdateCheck(IUpdateView& view, const TVersionComp& version, QString host,
                 int requestTimeoutMs = DefaultRequestTimeoutMs);

    static constexpr int DefaultRequestTimeoutMs = 15000;

    void CheckForUpdate(TUpdateState& state);
    // Reads the version file into the state's versions; false when it could not be fetched
    // or lacks a version.
    bool FetchVersionFile(TUpdateState& state);
    // The own file and product versions compared with the announced ones.
    std::pair<int, int> CompareOwnVersions(const TUpdateState& state) const;

private:
    bool NewerAnnounced(const TUpdateState& state) const;
    std::optional<QByteArray> DownloadVersionFile();
    static bool ReadVersionFile(const QByteArray& body, TUpdateState& state);

    IUpdateView& m_view;
    const TVersionComp& m_version;
    QString m_host;
    int m_requestTimeoutMs;
};

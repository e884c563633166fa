#pragma once

#include "TSettingsStore.h"
#include "TVersionComp.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

class THttpGet;
struct THttpRequest;

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
// a newer release: once in a message, afterwards in the window caption. The version file is
// fetched on a thread of its own, so that the window goes on working meanwhile; what it
// brings is applied on the thread that started the check, from its event loop.
class TUpdateCheck
{
public:
    // An empty host means no check: every fetch fails without a request.
    TUpdateCheck(IUpdateView& view, TVersionComp version, QString host,
                 int requestTimeoutMs = DefaultRequestTimeoutMs);
    // A fetch that still runs is aborted, and its thread is gone when this returns.
    ~TUpdateCheck();
    TUpdateCheck(const TUpdateCheck&) = delete;
    TUpdateCheck& operator=(const TUpdateCheck&) = delete;

    static constexpr int DefaultRequestTimeoutMs = 15000;

    // Starts the check of this start: the state (which must outlive the check) gets what the
    // version file tells and the user is told, and then `done` is called. Without a fetch all
    // of it happens before this returns.
    void CheckForUpdate(TUpdateState& state, std::function<void()> done = {});
    // From the start of the check until its result has been applied and told.
    bool IsRunning() const { return m_running; }
    // Ends a running fetch at once; it counts as a failed one.
    void Abort();
    // The own file and product versions compared with the announced ones.
    std::pair<int, int> CompareOwnVersions(const TUpdateState& state) const;

private:
    void FetchVersionFile();
    void FetchEnded(const std::optional<QByteArray>& body);
    void TellTheUser(bool fetched);
    bool NewerAnnounced(const TUpdateState& state) const;
    THttpRequest VersionFileRequest() const;
    static bool ReadVersionFile(const QByteArray& body, TUpdateState& state);

    IUpdateView& m_view;
    const TVersionComp m_version;
    const QString m_host;
    const int m_requestTimeoutMs;
    TUpdateState* m_state = nullptr;
    std::function<void()> m_done;
    bool m_running = false;
    std::unique_ptr<THttpGet> m_fetch;
    std::thread m_thread;
    // Lives on the thread that starts the check; the fetch's end is handed to it.
    QObject m_receiver;
};

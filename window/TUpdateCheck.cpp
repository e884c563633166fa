#include "TUpdateCheck.h"

#include "HttpGet.h"
#include "TVersionComp.h"

#include <QRegularExpression>
#include <array>
#include <system_error>

const QString BuildWebHost = QStringLiteral(QUARLOW_WEB_HOST);

namespace {

const QString VersionFilePath = QStringLiteral("/net/Quarlow774275/Quarlowversion.TXT");
// Stand for the versions of a version file that lacks one: lower than any of ours.
const QString UnreadFileVersion = QStringLiteral("0.6.6.6");
const QString UnreadProductVersion = QStringLiteral("0.0.0.6");

constexpr int FieldCount = 4;
constexpr qsizetype MaxVersionLength = 255;
constexpr qsizetype MaxFieldLength = 7;

using TVersionFields = std::array<int, FieldCount>;

// Leading blanks and a sign, then the digits up to the first other character; none is 0.
// At most 7 characters cannot overflow.
int FieldValue(QStringView field)
{
    qsizetype i = 0;
    while (i < field.size() && field[i] == u' ')
        ++i;
    const bool negative = i < field.size() && field[i] == u'-';
    if (i < field.size() && (field[i] == u'-' || field[i] == u'+'))
        ++i;
    int value = 0;
    for (; i < field.size() && field[i] >= u'0' && field[i] <= u'9'; ++i)
        value = value * 10 + (field[i].unicode() - u'0');
    return negative ? -value : value;
}

// The values of the first four fields; nothing for a text that is no version text. Runs of
// dots separate like one, and dots at either end separate nothing.
std::optional<TVersionFields> VersionFields(const QString& text)
{
    if (text.size() > MaxVersionLength)
        return std::nullopt;
    const QStringList fields = text.split(u'.', Qt::SkipEmptyParts);
    if (fields.size() < FieldCount)
        return std::nullopt;
    TVersionFields values{};
    for (int k = 0; k < FieldCount; ++k) {
        if (fields[k].size() > MaxFieldLength)
            return std::nullopt;
        values[size_t(k)] = FieldValue(fields[k]);
    }
    return values;
}

bool IsSectionHeader(const QString& line)
{
    return line.size() >= 2 && line.startsWith(u'[') && line.endsWith(u']');
}

QString WithoutBlanksAroundEquals(const QString& line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return line;
    return line.left(equals).trimmed() + u'=' + line.mid(equals + 1).trimmed();
}

} // namespace

QString UpdateHost(const TStoredValue<QString>& storedWebHost)
{
    return storedWebHost.State == TStored::Present ? storedWebHost.Value : BuildWebHost;
}

QString DayNumber(const QDate& date)
{
    return QString::number(QDate(1899, 12, 30).daysTo(date));
}

int CompareVersions(const QString& a, const QString& b)
{
    const std::optional<TVersionFields> x = VersionFields(a);
    const std::optional<TVersionFields> y = VersionFields(b);
    if (!x || !y)
        return -9;
    if (*x < *y)
        return -1;
    return *x > *y ? 1 : 0;
}

QStringList IniSectionLines(const QString& text, const QString& section)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines;
    bool inSection = false;
    for (const QString& raw : text.split(lineBreak)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (IsSectionHeader(line))
            inSection =
                line.sliced(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) ==
                0;
        else if (inSection)
            lines.append(WithoutBlanksAroundEquals(line));
    }
    return lines;
}

TUpdateCheck::TUpdateCheck(IUpdateView& view, TVersionComp version, QString host,
                           int requestTimeoutMs)
    : m_view(view), m_version(std::move(version)), m_host(std::move(host)),
      m_requestTimeoutMs(requestTimeoutMs)
{}

TUpdateCheck::~TUpdateCheck()
{
    Abort();
    if (m_thread.joinable())
        m_thread.join();
}

// The day numbers compare as texts, which for five digits is their numeric order.
void TUpdateCheck::CheckForUpdate(TUpdateState& state, std::function<void()> done)
{
    m_state = &state;
    m_done = std::move(done);
    m_running = true;
    m_view.setBusyCursor(true);
    if (state.DayToStore > state.StoredDay && state.CheckUpdates)
        FetchVersionFile();
    else
        TellTheUser(false);
}

void TUpdateCheck::Abort()
{
    if (m_fetch)
        m_fetch->Abort();
}

std::pair<int, int> TUpdateCheck::CompareOwnVersions(const TUpdateState& state) const
{
    return {CompareVersions(m_version.GetFileVersion(), state.applversnew),
            CompareVersions(m_version.GetProductVersion(), state.progversnew)};
}

// The request waits on a thread of its own; its end comes back through the event loop. A
// thread that cannot be made is a failed fetch.
void TUpdateCheck::FetchVersionFile()
{
    if (m_host.isEmpty())
        return FetchEnded(std::nullopt);
    m_view.setVersionCheckVisible(true);
    m_fetch = std::make_unique<THttpGet>(VersionFileRequest());
    try {
        m_thread = std::thread([this, fetch = m_fetch.get()] {
            const std::optional<QByteArray> body = fetch->Run();
            QMetaObject::invokeMethod(
                &m_receiver, [this, body] { FetchEnded(body); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        FetchEnded(std::nullopt);
    }
}

THttpRequest TUpdateCheck::VersionFileRequest() const
{
    THttpRequest request;
    request.Url = QStringLiteral("http://") + m_host + VersionFilePath;
    request.UserAgent = QStringLiteral("Quarlow version check ") + m_version.GetFileVersion();
    request.Accept = QStringLiteral("text/html, */*");
    request.TotalTimeoutMs = m_requestTimeoutMs;
    return request;
}

void TUpdateCheck::FetchEnded(const std::optional<QByteArray>& body)
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_fetch)
        m_view.setVersionCheckVisible(false);
    m_fetch.reset();
    if (!body)
        m_state->applversretrieved = false;
    TellTheUser(body && ReadVersionFile(*body, *m_state));
}

void TUpdateCheck::TellTheUser(bool fetched)
{
    TUpdateState& state = *m_state;
    if (fetched && !state.applversretrieved && NewerAnnounced(state)) {
        m_view.showUpdateMessage(QStringLiteral("            Quarlow version ") +
                                     state.applversnew + QStringLiteral(" is available"),
                                 m_view.windowCaption());
        state.applversretrieved = true;
    }
    if (state.applversretrieved && NewerAnnounced(state))
        m_view.setWindowCaption(m_version.GetFileDescription() + u' ' + m_version.GetFileVersion() +
                                QStringLiteral(" - version ") + state.applversnew +
                                QStringLiteral(" available"));
    m_view.setBusyCursor(false);
    m_running = false;
    if (m_done)
        std::exchange(m_done, {})();
}

// Both our versions must be older; -9 (no version text) announces nothing.
bool TUpdateCheck::NewerAnnounced(const TUpdateState& state) const
{
    const auto [file, product] = CompareOwnVersions(state);
    return file == -1 && product == -1;
}

// The last line of each section, taken whole. A missing or empty section puts in the low
// stand-ins and leaves applversretrieved as it was.
bool TUpdateCheck::ReadVersionFile(const QByteArray& body, TUpdateState& state)
{
    const QString text = QString::fromUtf8(body);
    const QStringList fileVersions = IniSectionLines(text, QStringLiteral("version"));
    const QStringList productVersions = IniSectionLines(text, QStringLiteral("productversion"));
    if (fileVersions.isEmpty() || productVersions.isEmpty()) {
        state.applversnew = UnreadFileVersion;
        state.progversnew = UnreadProductVersion;
        return false;
    }
    state.applversnew = fileVersions.last();
    state.progversnew = productVersions.last();
    state.applversretrieved = false;
    return true;
}

// The update check against a real HTTP server on the loopback interface: the request it
// makes, how it reads the version file, when it fetches, what it announces and how it takes
// a failed fetch; the version comparison, the day numbers and the program's version texts.
#include "EventLoop.h"
#include "QtPrinters.h"
#include "TUpdateCheck.h"
#include "TVersionComp.h"
#include "TVersionServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

const QString OwnCaption = QStringLiteral("Quarlow - FLAC/APE to MP3 transcoder 3.11.1.20 ");
const QString Busy = QStringLiteral("busy");
const QString NotBusy = QStringLiteral("not busy");
const QString LabelShown = QStringLiteral("label shown");
const QString LabelHidden = QStringLiteral("label hidden");

QString MessageEvent(const QString& version)
{
    return QStringLiteral("message:             Quarlow version ") + version +
           QStringLiteral(" is available | ") + OwnCaption;
}

QString CaptionEvent(const QString& version)
{
    return QStringLiteral("caption: Quarlow - FLAC/APE to MP3 transcoder 3.11.1.20 - version ") +
           version + QStringLiteral(" available");
}

// The lines of a request head, without their line breaks.
std::vector<std::string> HeadLines(const std::string& head)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end = 0; (end = head.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(head.substr(start, end - start));
    return lines;
}

// Records what the user would see, in order.
class TFakeUpdateView : public IUpdateView
{
public:
    void setVersionCheckVisible(bool visible) override
    {
        Events << (visible ? LabelShown : LabelHidden);
    }
    void setBusyCursor(bool busy) override { Events << (busy ? Busy : NotBusy); }
    QString windowCaption() const override { return Caption; }
    void setWindowCaption(const QString& caption) override
    {
        Caption = caption;
        Events << QStringLiteral("caption: ") + caption;
    }
    void showUpdateMessage(const QString& text, const QString& title) override
    {
        Events << QStringLiteral("message: ") + text + QStringLiteral(" | ") + title;
    }

    QStringList Events;
    // As the first activation of the window leaves it.
    QString Caption = OwnCaption;
};

// The first start of a day after one that fetched nothing newer.
TUpdateState FirstStartOfDay()
{
    TUpdateState state;
    state.StoredDay = QStringLiteral("45291");
    state.DayToStore = QStringLiteral("45292");
    state.applversnew = QStringLiteral("0.7.7.7");
    state.progversnew = QStringLiteral("0.0.0.7");
    return state;
}

// The state after a start that told the user of version 4.0.0.0.
TUpdateState ToldOfVersion4()
{
    TUpdateState state = FirstStartOfDay();
    state.applversnew = QStringLiteral("4.0.0.0");
    state.progversnew = QStringLiteral("4.0.0.0");
    state.applversretrieved = true;
    return state;
}

// One start's check, until it has told the user; what the user saw.
QStringList RunCheck(const QString& host, TUpdateState& state,
                     int timeoutMs = TUpdateCheck::DefaultRequestTimeoutMs)
{
    TFakeUpdateView view;
    TUpdateCheck check(view, TVersionComp(), host, timeoutMs);
    bool done = false;
    check.CheckForUpdate(state, [&] { done = true; });
    EXPECT_TRUE(RunEventsUntil([&] { return done; }));
    EXPECT_FALSE(check.IsRunning());
    return view.Events;
}

TEST(UpdateCheckTest, AnnouncesANewerReleaseOnceByMessageThenByCaption)
{
    const TVersionServer server(HttpAnswer("200 OK", VersionFile("4.0.0.0", "4.0.0.0")));
    TUpdateState state = FirstStartOfDay();

    EXPECT_EQ(RunCheck(server.Host(), state),
              QStringList({Busy, LabelShown, LabelHidden, MessageEvent("4.0.0.0"),
                           CaptionEvent("4.0.0.0"), NotBusy}));
    EXPECT_EQ(state.applversnew, QStringLiteral("4.0.0.0"));
    EXPECT_EQ(state.progversnew, QStringLiteral("4.0.0.0"));
    EXPECT_TRUE(state.applversretrieved);

    // The next start on the same day: no request, only the caption.
    state.StoredDay = state.DayToStore;
    EXPECT_EQ(RunCheck(server.Host(), state),
              QStringList({Busy, CaptionEvent("4.0.0.0"), NotBusy}));
    EXPECT_TRUE(state.applversretrieved);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(UpdateCheckTest, AsksForTheVersionFileWithTheProgramsVersion)
{
    const TVersionServer server(HttpAnswer("200 OK", VersionFile("3.0.0.0", "3.0.0.0")));
    TUpdateState state = FirstStartOfDay();
    RunCheck(server.Host(), state);

    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::vector<std::string> lines = HeadLines(requests.front());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "GET /net/Quarlow774275/Quarlowversion.TXT HTTP/1.1");
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("User-Agent: Quarlow version check 3.11.1.20")) << requests.front();
    EXPECT_TRUE(has("Accept: text/html, */*")) << requests.front();
    EXPECT_TRUE(has("Host: " + server.Host().toStdString())) << requests.front();
}

TEST(UpdateCheckTest, AnEmptyHostFailsWithoutARequest)
{
    TUpdateState state = ToldOfVersion4();
    EXPECT_EQ(RunCheck(QString(), state), QStringList({Busy, NotBusy}));
    EXPECT_FALSE(state.applversretrieved);
    EXPECT_EQ(state.applversnew, QStringLiteral("4.0.0.0"));
    EXPECT_EQ(state.progversnew, QStringLiteral("4.0.0.0"));
}

// What a fetched version file makes of the state. Every row starts from a state whose
// message has been shown, which a successful fetch clears.
struct TVersionFileCase
{
    const char* name;
    std::string body;
    const char* applversnew;
    const char* progversnew;
    bool applversretrieved;
    bool announced;
};

class UpdateCheckVersionFile : public ::testing::TestWithParam<TVersionFileCase>
{};

TEST_P(UpdateCheckVersionFile, TakesTheLastLineOfEachSection)
{
    const TVersionFileCase& c = GetParam();
    const TVersionServer server(HttpAnswer("200 OK", c.body));
    TUpdateState state = FirstStartOfDay();
    state.applversretrieved = true;

    const QStringList events = RunCheck(server.Host(), state);

    const QString announced = QString::fromUtf8(c.applversnew);
    const QStringList notice = c.announced
                                   ? QStringList({MessageEvent(announced), CaptionEvent(announced)})
                                   : QStringList();
    EXPECT_EQ(events, QStringList({Busy, LabelShown, LabelHidden}) + notice + QStringList(NotBusy));
    EXPECT_EQ(state.applversnew, QString::fromUtf8(c.applversnew));
    EXPECT_EQ(state.progversnew, QString::fromUtf8(c.progversnew));
    EXPECT_EQ(state.applversretrieved, c.applversretrieved);
    EXPECT_EQ(server.Requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UpdateCheckVersionFile,
    ::testing::Values(
        TVersionFileCase{"newer_in_both", VersionFile("4.0.0.0", "4.0.0.0"), "4.0.0.0", "4.0.0.0",
                         true, true},
        TVersionFileCase{"only_the_file_version_newer", VersionFile("3.12.0.0", "3.0.0.0"),
                         "3.12.0.0", "3.0.0.0", false, false},
        TVersionFileCase{"only_the_product_version_newer", VersionFile("3.11.1.20", "4.0.0.0"),
                         "3.11.1.20", "4.0.0.0", false, false},
        TVersionFileCase{"last_line_counts",
                         "[version]\n3.10.0.0\n3.12.0.0\n[productversion]\n3.0.0.1\n", "3.12.0.0",
                         "3.0.0.1", true, true},
        TVersionFileCase{"comments_blanks_and_section_case",
                         "4.9.9.9\n; newest first\n\n[VERSION]\n   4.0.0.0  \n;4.8.0.0\n"
                         "\t\n[ProductVersion]\n\t4.1.0.0\n",
                         "4.0.0.0", "4.1.0.0", true, true},
        TVersionFileCase{"a_section_that_comes_again_continues",
                         "[version]\n3.12.0.0\n[productversion]\n4.0.0.0\n[version]\n5.0.0.0\n",
                         "5.0.0.0", "4.0.0.0", true, true},
        TVersionFileCase{"a_name_and_value_line_is_taken_whole",
                         "[version]\nlatest  =  4.0.0.0\n[productversion]\n4.0.0.0\n",
                         "latest=4.0.0.0", "4.0.0.0", false, false},
        TVersionFileCase{"three_fields_announce_nothing", VersionFile("4.0.0", "4.0.0.0"), "4.0.0",
                         "4.0.0.0", false, false},
        TVersionFileCase{"missing_section", "[version]\n4.0.0.0\n", "0.6.6.6", "0.0.0.6", true,
                         false},
        TVersionFileCase{"empty_section", "[version]\n; none yet\n[productversion]\n4.0.0.0\n",
                         "0.6.6.6", "0.0.0.6", true, false},
        TVersionFileCase{"empty_file", "", "0.6.6.6", "0.0.0.6", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Fetches that fail. The user was told of 4.0.0.0 before; the stored versions stay, and the
// failure clears the flag, so not even the caption tells of it. The servers offer a newer
// version file, which must not be taken.
enum class TFailure
{
    Refused,
    Status,
    NeverAnswers,
    TooLarge
};

struct TFailedFetchCase
{
    const char* name;
    TFailure failure;
    const char* status;
};

class UpdateCheckFailedFetch : public ::testing::TestWithParam<TFailedFetchCase>
{
protected:
    // Short, so that the server that never answers is given up soon.
    static constexpr int ShortBoundMs = 250;

    static std::string Answer(const TFailedFetchCase& c)
    {
        const std::string newer = VersionFile("5.0.0.0", "5.0.0.0");
        if (c.failure == TFailure::TooLarge)
            return HttpAnswer(c.status, newer + std::string(2 * 1024 * 1024, ';'));
        return HttpAnswer(c.status, newer);
    }

    static QStringList Check(const QString& host, TUpdateState& state, TFailure failure)
    {
        return failure == TFailure::NeverAnswers ? RunCheck(host, state, ShortBoundMs)
                                                 : RunCheck(host, state);
    }
};

TEST_P(UpdateCheckFailedFetch, KeepsTheStoredVersionsAndClearsTheFlag)
{
    const TFailedFetchCase& c = GetParam();
    TUpdateState state = ToldOfVersion4();
    QStringList events;
    if (c.failure == TFailure::Refused) {
        const TRefusingPort port;
        events = Check(port.Host(), state, c.failure);
    } else {
        const TVersionServer server(Answer(c), c.failure == TFailure::NeverAnswers
                                                   ? TVersionServer::TMode::Stall
                                                   : TVersionServer::TMode::Answer);
        events = Check(server.Host(), state, c.failure);
        EXPECT_EQ(server.Requests().size(), 1u);
    }
    EXPECT_EQ(events, QStringList({Busy, LabelShown, LabelHidden, NotBusy}));
    EXPECT_EQ(state.applversnew, QStringLiteral("4.0.0.0"));
    EXPECT_EQ(state.progversnew, QStringLiteral("4.0.0.0"));
    EXPECT_FALSE(state.applversretrieved);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UpdateCheckFailedFetch,
    ::testing::Values(TFailedFetchCase{"connection_refused", TFailure::Refused, ""},
                      TFailedFetchCase{"not_found", TFailure::Status, "404 Not Found"},
                      TFailedFetchCase{"server_error", TFailure::Status,
                                       "500 Internal Server Error"},
                      TFailedFetchCase{"moved", TFailure::Status, "301 Moved Permanently"},
                      TFailedFetchCase{"never_answers", TFailure::NeverAnswers, "200 OK"},
                      TFailedFetchCase{"body_too_large", TFailure::TooLarge, "200 OK"}),
    [](const auto& info) { return std::string(info.param.name); });

// The threads of this process, the test's own included.
int ThreadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

// A stop while the fetch waits for a server that never answers ends the fetch at once, however
// long its bound: the client hangs up and the fetch's thread is gone. An aborted fetch is a
// failed one; a check destroyed meanwhile tells the user nothing more.
enum class TStop
{
    Abort,
    Destroy
};

struct TStopCase
{
    const char* name;
    TStop stop;
};

class UpdateCheckStop : public ::testing::TestWithParam<TStopCase>
{};

TEST_P(UpdateCheckStop, EndsAFetchThatWaitsForAnAnswer)
{
    const TVersionServer server(HttpAnswer("200 OK", VersionFile("5.0.0.0", "5.0.0.0")),
                                TVersionServer::TMode::Stall);
    const int threads = ThreadCount();
    TUpdateState state = ToldOfVersion4();
    TFakeUpdateView view;
    // Far beyond the two minutes after which the server answers after all.
    constexpr int HourMs = 3600 * 1000;
    auto check = std::make_unique<TUpdateCheck>(view, TVersionComp(), server.Host(), HourMs);
    bool done = false;
    check->CheckForUpdate(state, [&] { done = true; });
    ASSERT_TRUE(RunEventsUntil([&] { return server.Requests().size() == 1; }));
    EXPECT_TRUE(check->IsRunning());
    EXPECT_EQ(view.Events, QStringList({Busy, LabelShown}));

    if (GetParam().stop == TStop::Abort) {
        check->Abort();
        ASSERT_TRUE(RunEventsUntil([&] { return done; }));
        EXPECT_FALSE(check->IsRunning());
        EXPECT_EQ(view.Events, QStringList({Busy, LabelShown, LabelHidden, NotBusy}));
        EXPECT_FALSE(state.applversretrieved);
    } else {
        check.reset();
        QCoreApplication::processEvents();
        EXPECT_FALSE(done);
        EXPECT_EQ(view.Events, QStringList({Busy, LabelShown}));
    }
    EXPECT_EQ(ThreadCount(), threads) << "the fetch's thread is gone";
    EXPECT_TRUE(RunEventsUntil([&] { return server.HangUps() == 1; })) << "the client hung up";
    EXPECT_EQ(state.applversnew, QStringLiteral("4.0.0.0"));
}

INSTANTIATE_TEST_SUITE_P(Stops, UpdateCheckStop,
                         ::testing::Values(TStopCase{"abort", TStop::Abort},
                                           TStopCase{"destroy", TStop::Destroy}),
                         [](const auto& info) { return std::string(info.param.name); });

// When a start fetches. The user was told of 4.0.0.0 before and the server still offers it:
// a fetch tells again by message, every start shows the caption.
struct TScheduleCase
{
    const char* name;
    const char* storedDay;
    const char* today;
    bool checkUpdates;
    bool fetches;
};

class UpdateCheckSchedule : public ::testing::TestWithParam<TScheduleCase>
{};

TEST_P(UpdateCheckSchedule, FetchesAtTheFirstStartOfALaterDay)
{
    const TScheduleCase& c = GetParam();
    const TVersionServer server(HttpAnswer("200 OK", VersionFile("4.0.0.0", "4.0.0.0")));
    TUpdateState state = ToldOfVersion4();
    state.StoredDay = QString::fromUtf8(c.storedDay);
    state.DayToStore = QString::fromUtf8(c.today);
    state.CheckUpdates = c.checkUpdates;

    const QStringList events = RunCheck(server.Host(), state);

    const QStringList fetch =
        c.fetches ? QStringList({LabelShown, LabelHidden, MessageEvent("4.0.0.0")}) : QStringList();
    EXPECT_EQ(events, QStringList(Busy) + fetch + QStringList({CaptionEvent("4.0.0.0"), NotBusy}));
    EXPECT_EQ(server.Requests().size(), c.fetches ? 1u : 0u);
    EXPECT_TRUE(state.applversretrieved);
}

INSTANTIATE_TEST_SUITE_P(
    Days, UpdateCheckSchedule,
    ::testing::Values(TScheduleCase{"first_start", "10000", "45292", true, true},
                      TScheduleCase{"next_day", "45291", "45292", true, true},
                      TScheduleCase{"stored_day_of_another_type", "39700", "45292", true, true},
                      TScheduleCase{"same_day", "45292", "45292", true, false},
                      TScheduleCase{"clock_set_back", "45293", "45292", true, false},
                      TScheduleCase{"check_unticked", "10000", "45292", false, false},
                      TScheduleCase{"days_compare_as_texts", "9999", "10000", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct TCompareCase
{
    const char* name;
    std::string a;
    std::string b;
    int expected;
};

class UpdateCheckCompareVersions : public ::testing::TestWithParam<TCompareCase>
{};

TEST_P(UpdateCheckCompareVersions, ComparesTheFirstFourFieldsByValue)
{
    const TCompareCase& c = GetParam();
    const QString a = QString::fromStdString(c.a);
    const QString b = QString::fromStdString(c.b);
    EXPECT_EQ(CompareVersions(a, b), c.expected);
    EXPECT_EQ(CompareVersions(b, a), c.expected == -9 ? -9 : -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UpdateCheckCompareVersions,
    ::testing::Values(
        TCompareCase{"field_by_value", "3.11.1.20", "3.9.0.0", 1},
        TCompareCase{"equal", "3.0.0.0", "3.0.0.0", 0},
        TCompareCase{"last_field_lower", "3.11.1.19", "3.11.1.20", -1},
        TCompareCase{"first_field_decides", "4.0.0.0", "3.99.99.99", 1},
        TCompareCase{"fifth_field_ignored", "1.2.3.4.5", "1.2.3.4", 0},
        TCompareCase{"two_fields", "1.2", "3.11.1.20", -9},
        TCompareCase{"three_fields", "1.2.3", "1.2.3", -9},
        TCompareCase{"empty", "", "0.0.0.0", -9},
        TCompareCase{"runs_of_dots_separate_once", "3..11...1.20", "3.11.1.20", 0},
        TCompareCase{"dots_at_the_ends_ignored", ".3.11.1.20.", "3.11.1.20", 0},
        TCompareCase{"dots_make_no_fields", "..1..2..3..", "1.2.3.0", -9},
        TCompareCase{"leading_blanks_and_sign", "  4. +1.0.0", "4.1.0.0", 0},
        TCompareCase{"negative_field", "-1.0.0.0", "0.0.0.0", -1},
        TCompareCase{"digits_up_to_another_character", "3.11b2.1.20", "3.11.1.20", 0},
        TCompareCase{"no_digits_give_zero", "3.x.y.0", "3.0.0.0", 0},
        TCompareCase{"blank_field_gives_zero", "3. .1.0", "3.0.1.0", 0},
        TCompareCase{"seven_character_field", "1.1234567.0.0", "1.1234566.0.0", 1},
        TCompareCase{"eight_character_field", "1.12345678.0.0", "1.0.0.0", -9},
        TCompareCase{"long_field_beyond_the_fourth", "1.2.3.4.12345678", "1.2.3.4", 0},
        TCompareCase{"text_of_255_characters", "1.2.3.4" + std::string(248, '.'), "1.2.3.4", 0},
        TCompareCase{"text_of_256_characters", "1.2.3.4" + std::string(249, '.'), "1.2.3.4", -9}),
    [](const auto& info) { return std::string(info.param.name); });

struct TDayCase
{
    const char* name;
    int year;
    int month;
    int day;
    const char* number;
};

class UpdateCheckDayNumber : public ::testing::TestWithParam<TDayCase>
{};

TEST_P(UpdateCheckDayNumber, CountsWholeDaysSince30December1899)
{
    const TDayCase& c = GetParam();
    EXPECT_EQ(DayNumber(QDate(c.year, c.month, c.day)), QString::fromUtf8(c.number));
}

INSTANTIATE_TEST_SUITE_P(Dates, UpdateCheckDayNumber,
                         ::testing::Values(TDayCase{"day_zero", 1899, 12, 30, "0"},
                                           TDayCase{"day_one", 1899, 12, 31, "1"},
                                           TDayCase{"no_29_february_1900", 1900, 3, 1, "61"},
                                           TDayCase{"day_10000", 1927, 5, 18, "10000"},
                                           TDayCase{"leap_day_2000", 2000, 2, 29, "36585"},
                                           TDayCase{"day_39700", 2008, 9, 9, "39700"},
                                           TDayCase{"new_year_2024", 2024, 1, 1, "45292"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct THostCase
{
    const char* name;
    TStored state;
    const char* stored;
    bool buildHost;
};

class UpdateCheckHost : public ::testing::TestWithParam<THostCase>
{};

TEST_P(UpdateCheckHost, TakesTheStoredHostOverTheBuilds)
{
    const THostCase& c = GetParam();
    const QString stored = QString::fromUtf8(c.stored);
    EXPECT_EQ(UpdateHost({c.state, stored}), c.buildHost ? BuildWebHost : stored);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, UpdateCheckHost,
    ::testing::Values(THostCase{"stored", TStored::Present, "example.org:8080", false},
                      THostCase{"stored_empty_turns_the_check_off", TStored::Present, "", false},
                      THostCase{"missing", TStored::Missing, "", true},
                      THostCase{"of_another_type", TStored::OtherType, "example.org", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The version texts of the program's own file, of a file without them and of none.
enum class TVersionedFile
{
    Own,
    OwnByPath,
    Plain,
    Missing
};

struct TVersionTextsCase
{
    const char* name;
    TVersionedFile file;
    const char* fileVersion;
    const char* productVersion;
    const char* fileDescription;
    const char* companyName;
};

class UpdateCheckVersionTexts : public ::testing::TestWithParam<TVersionTextsCase>
{};

TEST_P(UpdateCheckVersionTexts, ComeFromTheBuildForTheOwnFileOnly)
{
    const TVersionTextsCase& c = GetParam();
    QTemporaryFile plain;
    ASSERT_TRUE(plain.open());
    const QString file = c.file == TVersionedFile::Own         ? QString()
                         : c.file == TVersionedFile::OwnByPath ? QStringLiteral("/proc/self/exe")
                         : c.file == TVersionedFile::Plain     ? plain.fileName()
                                                               : plain.fileName() + u'x';
    // Read first for another file, so that a stale text would show.
    TVersionComp version(c.file == TVersionedFile::Own ? plain.fileName() : QString());
    version.SetFile(file);
    EXPECT_EQ(version.GetFile(), file);
    EXPECT_EQ(version.GetFileVersion(), QString::fromUtf8(c.fileVersion));
    EXPECT_EQ(version.GetProductVersion(), QString::fromUtf8(c.productVersion));
    EXPECT_EQ(version.GetFileDescription(), QString::fromUtf8(c.fileDescription));
    EXPECT_EQ(version.GetCompanyName(), QString::fromUtf8(c.companyName));
}

INSTANTIATE_TEST_SUITE_P(
    Files, UpdateCheckVersionTexts,
    ::testing::Values(
        TVersionTextsCase{"own", TVersionedFile::Own, "3.11.1.20", "3.0.0.0",
                          "Quarlow - FLAC/APE to MP3 transcoder", "!.!"},
        TVersionTextsCase{"own_by_path", TVersionedFile::OwnByPath, "3.11.1.20", "3.0.0.0",
                          "Quarlow - FLAC/APE to MP3 transcoder", "!.!"},
        TVersionTextsCase{"without_resource", TVersionedFile::Plain, "0.0", "0.0", "0.0", "0.0"},
        TVersionTextsCase{"missing", TVersionedFile::Missing, "?.?", "?.?", "?.?", "?.?"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

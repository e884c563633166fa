// The main window's stored values: which root a start reads, the defaults of missing values
// and of values of another type, what an exit writes (and what it writes back as it was
// stored), and the "Save to:" command (F2).
#include "PathOverride.h"
#include "Privileges.h"
#include "QtPrinters.h"
#include "TMainSettings.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

// Local to this file: another suite of the executable has one of its own.
static void PrintTo(const QJsonObject& object, std::ostream* os)
{
    *os << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

namespace {

// The rows of a table print as their names.
template <typename TCase>
requires requires(const TCase& c)
{
    c.name;
}
void PrintTo(const TCase& c, std::ostream* os)
{
    *os << c.name;
}

// Every value as "name=value", named as in the store, and the shown save folder last, so that
// a failure names each value that differs.
QStringList Described(const TMainSettings& s)
{
    const auto number = [](int value) { return QString::number(value); };
    const auto tick = [](bool ticked) {
        return ticked ? QStringLiteral("true") : QStringLiteral("false");
    };
    return {
        "tindex=" + number(s.TabIndex),
        "width=" + number(s.Width),
        "smem=" + number(s.smem),
        "julianday=" + s.Update.StoredDay,
        "checkupdate=" + tick(s.Update.CheckUpdates),
        "progversnew=" + s.Update.progversnew,
        "applversnew=" + s.Update.applversnew,
        "Top=" + number(s.Top),
        "Left=" + number(s.Left),
        "VerifyOnly=" + tick(s.VerifyOnly),
        "applversretrieved=" + tick(s.Update.applversretrieved),
        "SaveDirName=" + s.SaveDirName,
        "LamePath=" + s.LamePath,
        "FlacPath=" + s.FlacPath,
        "ApePath=" + s.ApePath,
        "Save2Src=" + tick(s.SaveToSource),
        "jobs=" + number(s.Jobs),
        "UpdateOnly=" + tick(s.UpdateOnly),
        "SaveFolder=" + s.SaveFolder,
    };
}

QString DescribedValue(const TMainSettings& s, const QString& name)
{
    for (const QString& line : Described(s)) {
        if (line.startsWith(name + u'='))
            return line.mid(name.size() + 1);
    }
    return QStringLiteral("<no such value>");
}

QString Caption(const QString& folder)
{
    return "Save to: " + folder + "   (click to change)";
}

// Takes the write permission of a folder away while it lives; root meets it only without
// its privileges.
class TReadOnlyFolder
{
public:
    explicit TReadOnlyFolder(QString folder)
        : m_folder(std::move(folder)), m_saved(QFile::permissions(m_folder))
    {
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~TReadOnlyFolder() { QFile::setPermissions(m_folder, m_saved); }
    TReadOnlyFolder(const TReadOnlyFolder&) = delete;
    TReadOnlyFolder& operator=(const TReadOnlyFolder&) = delete;

private:
    QString m_folder;
    QFileDevice::Permissions m_saved;
};

// A store of the test's own and a PATH on which "lame" and "flac" are found in folders of
// the test's own and "mac" is not found at all.
class MainSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString& folder : {UserFolder, ProgramFolder, Out})
            ASSERT_TRUE(QDir().mkpath(folder));
        MakeTool(LameOnPath + "lame");
        MakeTool(FlacOnPath + "flac");
    }

    static void MakeTool(const QString& path)
    {
        ASSERT_TRUE(WriteFile(path, "#!/bin/sh\n"));
        ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    QString Folder(const char* name) const { return dir.filePath(name) + u'/'; }
    void Store(const QString& file, const QJsonObject& values)
    {
        ASSERT_TRUE(WriteFile(file, QJsonDocument(values).toJson()));
    }
    void StoreUser(const QJsonObject& values) { Store(store.userFile(), values); }
    QJsonObject UserRoot() const
    {
        return QJsonDocument::fromJson(ReadAll(store.userFile())).object();
    }
    TSettingsLoad Load() { return settings.LoadSettings(store, UserFolder); }

    QTemporaryDir dir;
    const QString UserFolder = Folder("home");
    const QString ProgramFolder = Folder("program");
    const QString Out = Folder("out");
    const QString LameOnPath = Folder("bin");
    const QString FlacOnPath = Folder("flac-bin");
    TPathOverride path{dir.filePath("bin") + u':' + dir.filePath("flac-bin")};
    TSettingsStore store = TestStore(dir.path());
    TMainSettings settings;
};

TEST_F(MainSettingsTest, FirstStartGivesEveryDefault)
{
    const TSettingsLoad load = Load();
    // Missing texts read as empty; FixLoadedSettings fills them in.
    EXPECT_EQ(settings.Update.StoredDay, QString());
    EXPECT_EQ(settings.Update.progversnew, QString());
    EXPECT_EQ(settings.Update.applversnew, QString());
    settings.FixLoadedSettings();

    EXPECT_FALSE(load.TabIndexRead);
    EXPECT_TRUE(load.SaveFolderSet);
    EXPECT_EQ(Described(settings), QStringList({
                                       "tindex=0",
                                       "width=470",
                                       "smem=294",
                                       "julianday=10000",
                                       "checkupdate=true",
                                       "progversnew=0.0.0.7",
                                       "applversnew=0.7.7.7",
                                       "Top=40",
                                       "Left=20",
                                       "VerifyOnly=false",
                                       "applversretrieved=false",
                                       "SaveDirName=" + UserFolder,
                                       "LamePath=" + LameOnPath,
                                       "FlacPath=" + FlacOnPath,
                                       "ApePath=",
                                       "Save2Src=false",
                                       "jobs=0",
                                       "UpdateOnly=false",
                                       "SaveFolder=" + UserFolder,
                                   }));
    EXPECT_EQ(settings.SaveToCaption(), Caption(UserFolder));
}

TEST_F(MainSettingsTest, UserStoreWithoutWidthMakesTheMachineStoreGiveEveryValue)
{
    // The machine store lacks "Top" and "LamePath", which the user store has: those get their
    // defaults, not the user's values.
    StoreUser({{"tindex", 1},
               {"smem", 50},
               {"julianday", "1"},
               {"checkupdate", 1},
               {"progversnew", "u"},
               {"applversnew", "u"},
               {"Top", 5},
               {"Left", 6},
               {"VerifyOnly", 0},
               {"applversretrieved", 0},
               {"SaveDirName", UserFolder},
               {"LamePath", "/u/lame/"},
               {"FlacPath", "/u/flac/"},
               {"ApePath", "/u/mac/"},
               {"Save2Src", 0},
               {"jobs", 5},
               {"UpdateOnly", 0}});
    Store(store.machineFile(), {{"tindex", 2},
                                {"width", 900},
                                {"smem", 100},
                                {"julianday", "45000"},
                                {"checkupdate", 0},
                                {"progversnew", "3.0.0.0"},
                                {"applversnew", "3.11.1.20"},
                                {"Left", 7},
                                {"VerifyOnly", 1},
                                {"applversretrieved", 1},
                                {"SaveDirName", Out},
                                {"FlacPath", "/opt/flac/"},
                                {"ApePath", "/opt/mac/"},
                                {"Save2Src", 1},
                                {"jobs", 2},
                                {"UpdateOnly", 1}});

    const TSettingsLoad load = Load();

    EXPECT_TRUE(load.TabIndexRead);
    EXPECT_TRUE(load.SaveFolderSet);
    EXPECT_EQ(Described(settings), QStringList({
                                       "tindex=2",
                                       "width=900",
                                       "smem=100",
                                       "julianday=45000",
                                       "checkupdate=false",
                                       "progversnew=3.0.0.0",
                                       "applversnew=3.11.1.20",
                                       "Top=40",
                                       "Left=7",
                                       "VerifyOnly=true",
                                       "applversretrieved=true",
                                       "SaveDirName=" + Out,
                                       "LamePath=" + LameOnPath,
                                       "FlacPath=/opt/flac/",
                                       "ApePath=/opt/mac/",
                                       "Save2Src=true",
                                       "jobs=2",
                                       "UpdateOnly=true",
                                       "SaveFolder=" + Out,
                                   }));
}

TEST_F(MainSettingsTest, TabIndexIsKeptUnlessOneIsRead)
{
    struct TCase
    {
        const char* name;
        std::optional<QJsonValue> stored;
        bool read;
        int tab;
    };
    const TCase cases[] = {
        {"missing", std::nullopt, false, 3},
        {"string", QJsonValue("2"), false, 3},
        {"fraction", QJsonValue(1.5), false, 3},
        {"number", QJsonValue(2), true, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject root{{"width", 800}};
        if (c.stored)
            root.insert("tindex", *c.stored);
        StoreUser(root);
        settings.TabIndex = 3;
        EXPECT_EQ(Load().TabIndexRead, c.read);
        EXPECT_EQ(settings.TabIndex, c.tab);
    }
}

TEST_F(MainSettingsTest, SaveDirNameOfAnotherTypeGivesTheUserFolderAndKeepsTheShownOne)
{
    StoreUser({{"width", 800}, {"SaveDirName", 5}});
    settings.SaveFolder = Out;

    EXPECT_FALSE(Load().SaveFolderSet);
    EXPECT_EQ(settings.SaveDirName, UserFolder);
    EXPECT_EQ(settings.SaveFolder, Out);
}

TEST_F(MainSettingsTest, StoredEmptyOrZeroToolFolderIsKept)
{
    for (const char* stored : {"", "0"}) {
        SCOPED_TRACE(stored);
        StoreUser(
            {{"width", 800}, {"LamePath", stored}, {"FlacPath", stored}, {"ApePath", stored}});
        Load();
        EXPECT_EQ(settings.LamePath, stored);
        EXPECT_EQ(settings.FlacPath, stored);
        EXPECT_EQ(settings.ApePath, stored);
    }
}

// One value in the user store besides "width": what it reads as.
struct TReadCase
{
    const char* name;
    const char* value;
    QJsonValue stored;
    QString expected;
};

class MainSettingsReadTest : public MainSettingsTest,
                             public ::testing::WithParamInterface<TReadCase>
{};

TEST_P(MainSettingsReadTest, ValueReadsAsExpected)
{
    const TReadCase& c = GetParam();
    QJsonObject root{{"width", 800}};
    root.insert(c.value, c.stored);
    StoreUser(root);

    Load();

    EXPECT_EQ(DescribedValue(settings, c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    OtherType, MainSettingsReadTest,
    ::testing::Values(TReadCase{"WidthAsString", "width", "900", "470"},
                      TReadCase{"WidthAsFraction", "width", 900.5, "470"},
                      TReadCase{"SmemAsString", "smem", "100", "294"},
                      TReadCase{"TopAsString", "Top", "5", "40"},
                      TReadCase{"TopBeyond32Bits", "Top", 4294967296.0, "40"},
                      TReadCase{"LeftAsString", "Left", "6", "20"},
                      TReadCase{"CheckUpdateAsString", "checkupdate", "0", "true"},
                      TReadCase{"VerifyOnlyAsString", "VerifyOnly", "1", "false"},
                      TReadCase{"RetrievedAsString", "applversretrieved", "1", "false"},
                      TReadCase{"SaveToSourceAsString", "Save2Src", "1", "false"},
                      TReadCase{"DayAsNumber", "julianday", 45000, "39700"},
                      TReadCase{"ProgVersAsNumber", "progversnew", 3, "1.0.0.2"},
                      TReadCase{"ApplVersAsNumber", "applversnew", 3, "0.8.9.22"},
                      TReadCase{"LamePathAsNumber", "LamePath", 0, "0"},
                      TReadCase{"FlacPathAsNumber", "FlacPath", 1, "0"},
                      TReadCase{"ApePathAsBoolean", "ApePath", true, "0"},
                      TReadCase{"JobsAsString", "jobs", "3", "0"},
                      TReadCase{"JobsAsFraction", "jobs", 2.5, "0"},
                      TReadCase{"UpdateOnlyAsString", "UpdateOnly", "1", "false"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Present, MainSettingsReadTest,
    ::testing::Values(TReadCase{"NonZeroIsTicked", "VerifyOnly", 7, "true"},
                      TReadCase{"NegativeIsTicked", "Save2Src", -1, "true"},
                      TReadCase{"ZeroIsUnticked", "checkupdate", 0, "false"},
                      TReadCase{"FalseIsUnticked", "checkupdate", false, "false"},
                      TReadCase{"TrueIsTicked", "VerifyOnly", true, "true"},
                      TReadCase{"TrueIsRetrieved", "applversretrieved", true, "true"},
                      TReadCase{"FalseIsUntickedToo", "Save2Src", false, "false"},
                      TReadCase{"JobsOne", "jobs", 1, "1"},
                      TReadCase{"UpdateOnlyOne", "UpdateOnly", 1, "true"},
                      TReadCase{"UpdateOnlyTrue", "UpdateOnly", true, "true"},
                      TReadCase{"JobsAtMost", "jobs", 64, "64"},
                      TReadCase{"JobsAboveMostIsOnePerCore", "jobs", 65, "0"},
                      TReadCase{"JobsNegativeIsOnePerCore", "jobs", -1, "0"}),
    [](const auto& info) { return info.param.name; });

// One value in the user store besides "width", what the user changes after the load, and
// what the exit then writes: a value the program could not take as stored goes back as it
// was until the user changes it; one it fixed goes as fixed.
struct TWriteBackCase
{
    const char* name;
    const char* value;
    QJsonValue stored;
    void (*change)(TMainSettings&);
    QJsonValue written;
};

class MainSettingsWriteBackTest : public MainSettingsTest,
                                  public ::testing::WithParamInterface<TWriteBackCase>
{};

TEST_P(MainSettingsWriteBackTest, ValueIsWrittenAsStoredUnlessChanged)
{
    const TWriteBackCase& c = GetParam();
    QJsonObject root{{"width", 800}};
    root.insert(c.value, c.stored);
    StoreUser(root);
    settings.Update.DayToStore = "46000";
    Load();
    settings.FixLoadedSettings();
    if (c.change)
        c.change(settings);

    ASSERT_EQ(settings.SaveSettings(store), QString());

    EXPECT_EQ(UserRoot().value(c.value), c.written);
}

void Untick(TMainSettings& s)
{
    s.Update.CheckUpdates = false;
}

void Tick(TMainSettings& s)
{
    s.Update.CheckUpdates = true;
}

INSTANTIATE_TEST_SUITE_P(
    Stored, MainSettingsWriteBackTest,
    ::testing::Values(TWriteBackCase{"FalseStaysFalse", "checkupdate", false, nullptr, false},
                      TWriteBackCase{"TrueStaysTrue", "checkupdate", true, nullptr, true},
                      TWriteBackCase{"FalseTickedIsOne", "checkupdate", false, Tick, 1},
                      TWriteBackCase{"StringZeroStays", "checkupdate", "0", nullptr, "0"},
                      TWriteBackCase{"StringZeroUntickedIsZero", "checkupdate", "0", Untick, 0},
                      TWriteBackCase{"ZeroStaysZero", "checkupdate", 0, nullptr, 0},
                      TWriteBackCase{"TrueVerifyOnlyStays", "VerifyOnly", true, nullptr, true},
                      TWriteBackCase{"WidthAsStringStays", "width", "900", nullptr, "900"},
                      TWriteBackCase{"WidthAsStringResizedIsWritten", "width", "900",
                                     [](TMainSettings& s) { s.Width = 600; }, 600},
                      TWriteBackCase{"SmemOutOfRangeIsFixed", "smem", 600, nullptr, 294},
                      TWriteBackCase{"EmptyVersionIsFixed", "progversnew", "", nullptr, "0.0.0.7"},
                      TWriteBackCase{"DayAsNumberBecomesToday", "julianday", 45000, nullptr,
                                     "46000"},
                      TWriteBackCase{"ToolFolderAsNumberStays", "LamePath", 0, nullptr, 0},
                      TWriteBackCase{"SaveDirNameAsNumberStays", "SaveDirName", 5, nullptr, 5},
                      TWriteBackCase{"JobsStay", "jobs", 3, nullptr, 3},
                      TWriteBackCase{"JobsOutOfRangeStay", "jobs", 65, nullptr, 65},
                      TWriteBackCase{"JobsAsStringStay", "jobs", "2", nullptr, "2"},
                      TWriteBackCase{"JobsOutOfRangeChosenAreWritten", "jobs", 65,
                                     [](TMainSettings& s) { s.SetJobs(2); }, 2},
                      TWriteBackCase{"JobsAsStringChosenOnePerCoreAreWritten", "jobs", "2",
                                     [](TMainSettings& s) { s.SetJobs(0); }, 0}),
    [](const auto& info) { return info.param.name; });

// The stored save folder and what becomes of it.
enum class TSaveFolder
{
    Writable,
    Deleted,
    ReadOnly,
    File,
    Empty,
    Missing
};

struct TSaveFolderCase
{
    const char* name;
    TSaveFolder folder;
    // This run saves into it.
    bool used;
    // Why it is not used, as the load says it; empty when nothing is said.
    const char* problem;
    // The exit writes it back, not the folder this run saves into.
    bool stored;
};

class MainSettingsSaveFolderTest : public MainSettingsTest,
                                   public ::testing::WithParamInterface<TSaveFolderCase>
{
protected:
    // The value to store for the case, none for a missing one.
    std::optional<QString> Prepare(TSaveFolder folder)
    {
        const QString gone = Folder("gone");
        const QString file = dir.filePath("file");
        switch (folder) {
        case TSaveFolder::Deleted:
            EXPECT_TRUE(QDir().mkpath(gone) && QDir(gone).removeRecursively());
            return gone;
        case TSaveFolder::File:
            EXPECT_TRUE(WriteFile(file, "x"));
            return file + u'/';
        case TSaveFolder::Empty:
            return QString();
        case TSaveFolder::Missing:
            return std::nullopt;
        case TSaveFolder::Writable:
        case TSaveFolder::ReadOnly:
            break;
        }
        return Out;
    }
};

// A folder that cannot be used now (a drive that is not mounted) gives this run the user
// folder, says so, and stays in the store.
TEST_P(MainSettingsSaveFolderTest, StoredFolderIsUsedOnlyWhenItCanBeWrittenAndKept)
{
    const TSaveFolderCase& c = GetParam();
    QJsonObject root{{"width", 800}};
    const std::optional<QString> stored = Prepare(c.folder);
    if (stored)
        root.insert("SaveDirName", *stored);
    StoreUser(root);

    TSettingsLoad load;
    {
        std::optional<TReadOnlyFolder> readOnly;
        if (c.folder == TSaveFolder::ReadOnly)
            readOnly.emplace(Out);
        const TWithoutPrivileges asAUser;
        load = Load();
    }

    const QString expected = c.used ? Out : UserFolder;
    EXPECT_TRUE(load.SaveFolderSet);
    EXPECT_EQ(settings.SaveDirName, expected);
    EXPECT_EQ(settings.SaveFolder, expected);
    EXPECT_EQ(settings.SaveToCaption(), Caption(expected));
    const QString said = QString(c.problem).isEmpty()
                             ? QString()
                             : "Save folder " + stored.value_or(QString()) + " " + c.problem +
                                   ": saving to " + UserFolder;
    EXPECT_EQ(load.SaveFolderFallback, said);

    ASSERT_EQ(settings.SaveSettings(store), QString());
    EXPECT_EQ(UserRoot().value("SaveDirName"), c.stored ? *stored : UserFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, MainSettingsSaveFolderTest,
    ::testing::Values(TSaveFolderCase{"Writable", TSaveFolder::Writable, true, "", true},
                      TSaveFolderCase{"Deleted", TSaveFolder::Deleted, false, "is not there", true},
                      TSaveFolderCase{"ReadOnly", TSaveFolder::ReadOnly, false, "cannot be written",
                                      true},
                      TSaveFolderCase{"File", TSaveFolder::File, false, "is not there", true},
                      TSaveFolderCase{"Empty", TSaveFolder::Empty, false, "", false},
                      TSaveFolderCase{"Missing", TSaveFolder::Missing, false, "", false}),
    [](const auto& info) { return info.param.name; });

struct TSmemCase
{
    const char* name;
    int stored;
    int fixed;
};

class MainSettingsSmemTest : public MainSettingsTest,
                             public ::testing::WithParamInterface<TSmemCase>
{};

TEST_P(MainSettingsSmemTest, FixLoadedSettingsKeepsSmemWithinItsRange)
{
    StoreUser({{"width", 800}, {"smem", GetParam().stored}});
    Load();
    settings.FixLoadedSettings();
    EXPECT_EQ(settings.smem, GetParam().fixed);
}

INSTANTIATE_TEST_SUITE_P(Stored, MainSettingsSmemTest,
                         ::testing::Values(TSmemCase{"Negative", -1, 294}, TSmemCase{"Zero", 0, 0},
                                           TSmemCase{"Largest", 588, 588},
                                           TSmemCase{"JustAbove", 589, 294},
                                           TSmemCase{"FarAbove", 600, 294}),
                         [](const auto& info) { return info.param.name; });

TEST_F(MainSettingsTest, FixLoadedSettingsReplacesOnlyEmptyTexts)
{
    StoreUser({{"width", 800},
               {"julianday", "45000"},
               {"progversnew", "3.0.0.0"},
               {"applversnew", "3.11.1.20"}});
    Load();
    settings.FixLoadedSettings();
    EXPECT_EQ(settings.Update.StoredDay, "45000");
    EXPECT_EQ(settings.Update.progversnew, "3.0.0.0");
    EXPECT_EQ(settings.Update.applversnew, "3.11.1.20");

    StoreUser({{"width", 800}, {"julianday", ""}, {"progversnew", ""}, {"applversnew", ""}});
    Load();
    settings.FixLoadedSettings();
    EXPECT_EQ(settings.Update.StoredDay, "10000");
    EXPECT_EQ(settings.Update.progversnew, "0.0.0.7");
    EXPECT_EQ(settings.Update.applversnew, "0.7.7.7");
}

// Every value away from its default.
TMainSettings Sample(const QString& saveFolder)
{
    TMainSettings s;
    s.TabIndex = 2;
    s.Width = 800;
    s.smem = 100;
    s.Update.StoredDay = "40000";
    s.Update.DayToStore = "45000";
    s.Update.CheckUpdates = false;
    s.Update.progversnew = "3.0.0.0";
    s.Update.applversnew = "3.11.1.20";
    s.Top = 5;
    s.Left = 6;
    s.VerifyOnly = true;
    s.Update.applversretrieved = true;
    s.SaveDirName = saveFolder;
    s.SaveFolder = saveFolder;
    s.LamePath = "/opt/lame/";
    s.FlacPath = "/opt/flac/";
    s.ApePath = "/opt/mac/";
    s.SaveToSource = true;
    s.SetJobs(3);
    s.UpdateOnly = true;
    return s;
}

TEST_F(MainSettingsTest, SaveSettingsWritesEveryValueAndKeepsTheOthers)
{
    StoreUser({{"lamename", "APX"}, {"width", 470}});

    ASSERT_EQ(Sample(Out).SaveSettings(store), QString());

    EXPECT_EQ(UserRoot(), QJsonObject({{"lamename", "APX"},
                                       {"tindex", 2},
                                       {"width", 800},
                                       {"smem", 100},
                                       {"julianday", "45000"},
                                       {"checkupdate", 0},
                                       {"progversnew", "3.0.0.0"},
                                       {"applversnew", "3.11.1.20"},
                                       {"Top", 5},
                                       {"Left", 6},
                                       {"VerifyOnly", 1},
                                       {"applversretrieved", 1},
                                       {"SaveDirName", Out},
                                       {"LamePath", "/opt/lame/"},
                                       {"FlacPath", "/opt/flac/"},
                                       {"ApePath", "/opt/mac/"},
                                       {"Save2Src", 1},
                                       {"jobs", 3},
                                       {"UpdateOnly", 1}}));
}

TEST_F(MainSettingsTest, WidthIsStoredAtMost960)
{
    const struct
    {
        int width;
        int stored;
    } cases[] = {{1200, 960}, {961, 960}, {960, 960}, {470, 470}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        settings.Width = c.width;
        ASSERT_EQ(settings.SaveSettings(store), QString());
        EXPECT_EQ(UserRoot().value("width"), c.stored);
    }
}

TEST_F(MainSettingsTest, SavedValuesLoadAsTheyWere)
{
    const TMainSettings saved = Sample(Out);
    ASSERT_EQ(saved.SaveSettings(store), QString());

    Load();

    TMainSettings expected = saved;
    expected.Update.StoredDay = saved.Update.DayToStore;
    EXPECT_EQ(Described(settings), Described(expected));
}

TEST_F(MainSettingsTest, FailedWriteKeepsTheOldStoreAndSaysWhy)
{
    ASSERT_EQ(Sample(Out).SaveSettings(store), QString());
    const QByteArray before = ReadAll(store.userFile());
    settings.Width = 600;

    QString error;
    {
        const TReadOnlyFolder readOnly(QFileInfo(store.userFile()).path());
        const TWithoutPrivileges asAUser;
        error = settings.SaveSettings(store);
    }

    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(store.userFile()), before);
}

// Records what the "Save to:" command shows, in order, and answers the dialog with Answer.
class TFakeSaveFolderView : public ISaveFolderView
{
public:
    std::optional<QString> askSaveFolder(const QString& title, const QString& startFolder) override
    {
        Calls.append("ask " + title + " in " + startFolder);
        return Answer;
    }
    void setSaveToCaption(const QString& caption) override { Calls.append("caption " + caption); }
    void showDestinationWarning(const QString& text) override { Calls.append("red " + text); }
    void clearDestination() override { Calls.append("clear"); }

    std::optional<QString> Answer;
    QStringList Calls;
};

class MainSettingsSaveToTest : public MainSettingsTest
{
protected:
    // The command with save-to-source ticked.
    bool ChooseSaveFolder()
    {
        settings.SaveToSource = true;
        view.Calls.clear();
        return settings.ChooseSaveFolder(view, UserFolder, ProgramFolder);
    }
    static QString Asked(const QString& folder)
    {
        return "ask Save to: \"" + folder + "\" ? in " + folder;
    }

    TFakeSaveFolderView view;
};

TEST_F(MainSettingsSaveToTest, CancelKeepsTheDestinationAndShowsWhereTheDialogStarted)
{
    // Without a shown folder the dialog starts in the program's folder, else in SaveDirName.
    const struct
    {
        const char* name;
        QString shown;
        QString start;
    } cases[] = {{"nothing shown", QString(), ProgramFolder}, {"another shown", UserFolder, Out}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.SaveFolder = c.shown;
        settings.SaveDirName = Out;

        EXPECT_FALSE(ChooseSaveFolder());

        EXPECT_EQ(view.Calls,
                  QStringList({"clear", Asked(c.start), "caption " + Caption(c.start)}));
        EXPECT_EQ(settings.SaveFolder, c.start);
        EXPECT_EQ(settings.SaveDirName, Out);
        EXPECT_TRUE(settings.SaveToSource);
    }
}

TEST_F(MainSettingsSaveToTest, ChosenWritableFolderBecomesTheDestination)
{
    const QString outWithoutSeparator = dir.filePath("out");
    for (const QString& answer : {outWithoutSeparator, Out}) {
        SCOPED_TRACE(answer.toStdString());
        settings.SaveFolder = settings.SaveDirName = UserFolder;
        view.Answer = answer;

        EXPECT_TRUE(ChooseSaveFolder());

        EXPECT_EQ(view.Calls, QStringList({"clear", Asked(UserFolder), "caption " + Caption(Out)}));
        EXPECT_EQ(settings.SaveFolder, Out);
        EXPECT_EQ(settings.SaveDirName, Out);
        EXPECT_FALSE(settings.SaveToSource);
    }
}

// The user's choice replaces a stored folder this run could not use, even when it is the
// folder the run fell back to.
TEST_F(MainSettingsSaveToTest, ChoiceReplacesAStoredFolderThatIsNotThere)
{
    StoreUser({{"width", 800}, {"SaveDirName", Folder("gone")}});
    Load();
    view.Answer = UserFolder;

    EXPECT_TRUE(ChooseSaveFolder());

    ASSERT_EQ(settings.SaveSettings(store), QString());
    EXPECT_EQ(UserRoot().value("SaveDirName"), UserFolder);
}

TEST_F(MainSettingsSaveToTest, ChosenFolderThatCannotBeWrittenGivesTheUserFolderInRed)
{
    const QString gone = Folder("gone");
    for (const QString& answer : {Out, gone}) {
        SCOPED_TRACE(answer.toStdString());
        settings.SaveFolder = settings.SaveDirName = ProgramFolder;
        view.Answer = answer;

        bool chosen = false;
        {
            const TReadOnlyFolder readOnly(Out);
            const TWithoutPrivileges asAUser;
            chosen = ChooseSaveFolder();
        }

        EXPECT_TRUE(chosen);
        EXPECT_EQ(view.Calls,
                  QStringList({"clear", Asked(ProgramFolder),
                               "red Destination is read-only: set to User Directory instead",
                               "caption " + Caption(UserFolder)}));
        EXPECT_EQ(settings.SaveFolder, UserFolder);
        EXPECT_EQ(settings.SaveDirName, UserFolder);
        EXPECT_FALSE(settings.SaveToSource);
    }
}

} // namespace

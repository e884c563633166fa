// Start-up and shut-down: the settings the window keeps between starts, the order of the
// first activation, and a close during a run.
#include "BrokenSettings.h"
#include "EventLoop.h"
#include "TAudio.h"
#include "TCodecStatus.h"
#include "TVersionServer.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <memory>
#include <sys/stat.h>

namespace {

class LifecycleTest : public TFormTest
{
protected:
    TSettingsStore Store() const { return TestStore(root.path()); }
    QString UserFile() const { return Store().userFile(); }
    QString MachineFile() const { return Store().machineFile(); }
    // What was set aside beside the user file.
    QStringList SetAside() const
    {
        QStringList names;
        for (const QString& name : QDir(root.filePath(QStringLiteral("config")))
                                       .entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                                  QDir::NoDotAndDotDot)) {
            if (name != u"KPZ05.json")
                names << root.filePath(QStringLiteral("config/") + name);
        }
        return names;
    }
    void Start()
    {
        form->UserFolder = Save;
        form->FormCreate();
        form->FormActivate();
    }
    QString Unreadable(const QString& file, const QString& problem) const
    {
        return file + QStringLiteral(" cannot be read (") + problem + u')';
    }

    // A first start that saves below Save.
    void Create()
    {
        form->UserFolder = Save;
        form->FormCreate();
    }

    // The stand-in for the tool stalls (or ends) as Stall says, and tells its process id.
    void StallTelling(const QString& tool, const QByteArray& on, const QByteArray& rows = {})
    {
        Stall(tool, on, rows);
        qputenv("STALL_PIDS", QFile::encodeName(Pids()));
    }
    QString Pids() const { return root.filePath(QStringLiteral("pids")); }
    QList<QByteArray> StalledPids() const { return ReadAll(Pids()).trimmed().split('\n'); }

    // A server whose version file announces a newer release, named by the settings.
    void ServeVersionFile(TVersionServer::TMode mode)
    {
        server = std::make_unique<TVersionServer>(
            HttpAnswer("200 OK", VersionFile("5.0.0.0", "5.0.0.0")), mode);
        ASSERT_EQ(Store().Write({{"WebHost", server->Host()}}), QString());
    }

    std::unique_ptr<TVersionServer> server;
};

// The tools' versions are known before the status lines are drawn and the help is
// captured; a later activation probes nothing again.
TEST_F(LifecycleTest, FirstActivationFindsTheToolsBeforeItShowsThem)
{
    form->UserFolder = Save;
    form->FormCreate();
    form->FormActivate();

    EXPECT_EQ(view.label(TLabel::LameVersion), QStringLiteral("Lame version : 3.100"));
    // The option set the fixture chose and stored.
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("Lame setting : 128 kb cbr"));
    EXPECT_TRUE(form->HelpText.join(u'\n').contains(QStringLiteral("--preset")));
    EXPECT_EQ(view.WindowCaption,
              QStringLiteral("Quarlow - FLAC/APE to MP3 transcoder 3.11.1.20 "));
    ASSERT_EQ(view.CodecStatuses.size(), 1);
    EXPECT_EQ(view.CodecStatuses.first().Lame.Color, FoundColor);
    EXPECT_EQ(form->SaveDirName, Save) << "a first start saves below the user's folder";
    form->FormActivate();
    EXPECT_EQ(view.CodecStatuses.size(), 1);
}

TEST_F(LifecycleTest, StoredSettingsComeBackAndGoBack)
{
    const QString tools = root.filePath(QStringLiteral("tools")) + u'/';
    ASSERT_EQ(Store().Write({{"width", 800},
                             {"SaveDirName", Save},
                             {"LamePath", tools},
                             {"FlacPath", "0"},
                             {"VerifyOnly", 1},
                             {"Save2Src", 0}}),
              QString());
    form->FormCreate();
    EXPECT_EQ(form->SaveDirName, Save);
    EXPECT_EQ(form->LamePath, tools);
    EXPECT_EQ(form->FlacPath, QStringLiteral("0"));
    EXPECT_TRUE(form->IsTicked(TMenuItem::Verifyonly1));
    EXPECT_TRUE(form->VerifyMode);
    EXPECT_EQ(view.SaveToCaption, "Save to: " + Save + "   (click to change)");

    form->SetTicked(TMenuItem::Verifyonly1, false);
    form->FormClose();
    const TSettingsStore::TKey key = Store().OpenForReading(QStringLiteral("width"));
    EXPECT_EQ(key.readInteger(QStringLiteral("VerifyOnly")).Value, 0);
    EXPECT_EQ(key.readString(QStringLiteral("LamePath")).Value, tools);
    EXPECT_EQ(key.readInteger(QStringLiteral("width")).Value, 800);
}

TEST_F(LifecycleTest, SaveToCommandChangesTheDestination)
{
    form->SetTicked(TMenuItem::Savetosourcedirectory1, true);
    const QString chosen = root.filePath(QStringLiteral("chosen")) + u'/';
    ASSERT_TRUE(QDir().mkpath(chosen));
    view.SaveFolderAnswer = chosen;
    form->mnuSaveToClick();
    EXPECT_EQ(form->SaveDirName, chosen);
    EXPECT_FALSE(form->IsTicked(TMenuItem::Savetosourcedirectory1));
    EXPECT_EQ(view.SaveToCaption, "Save to: " + chosen + "   (click to change)");
}

// A close during a run stops it, leaves no part of the cut job, and the settings are saved
// when the window then closes.
TEST_F(LifecycleTest, CloseDuringARunEndsItAndThenSavesTheSettings)
{
    CopyFixture(QStringLiteral("in.wav"), In + QStringLiteral("/a.wav"));
    CopyFixture(QStringLiteral("in.wav"), In + QStringLiteral("/b.wav"));
    Stall(QStringLiteral("lame"), "/a.wav",
          "    10/116   (10%)|    0:00/    0:00|    0:00/    0:00|   12.000x|    0:00\r", ".mp3");
    bool refused = false;
    view.OnProcessEvents = [&] {
        if (!refused && form->Audio && form->Audio->Progress > 0)
            refused = !form->FormCloseQuery();
    };
    Drop({In + QStringLiteral("/a.wav"), In + QStringLiteral("/b.wav")});
    ASSERT_TRUE(refused);
    ASSERT_EQ(view.CloseRequests, 1);
    form->FormClose();

    EXPECT_EQ(FilesBelow(Save), QStringList());
    EXPECT_EQ(Store()
                  .OpenForReading(QStringLiteral("width"))
                  .readString(QStringLiteral("SaveDirName"))
                  .Value,
              Save);
}

// A settings write that fails is said, and the old store stays.
TEST_F(LifecycleTest, SettingsThatCannotBeSavedAreSaid)
{
    const QByteArray config = QFile::encodeName(root.filePath(QStringLiteral("config")));
    const QByteArray before = ReadAll(root.filePath(QStringLiteral("config/KPZ05.json")));
    ASSERT_EQ(chmod(config.constData(), 0500), 0);
    {
        const TWithoutPrivileges asAUser;
        form->FormClose();
    }
    chmod(config.constData(), 0700);
    EXPECT_EQ(ReadAll(root.filePath(QStringLiteral("config/KPZ05.json"))), before);
    ASSERT_EQ(view.Messages.size(), 1);
    EXPECT_TRUE(
        view.Messages.first().startsWith(QStringLiteral("The settings could not be saved: ")));
}

// The values the user did not change go back as they were stored: a save folder that is not
// there at start-up (a drive not mounted) is only this run's loss, said in red, and a JSON
// false stays false.
TEST_F(LifecycleTest, SaveFolderThatIsNotThereStaysStoredWhileThisRunSavesElsewhere)
{
    const QString gone = root.filePath(QStringLiteral("gone")) + u'/';
    ASSERT_EQ(Store().Write({{"width", 800}, {"SaveDirName", gone}, {"checkupdate", false}}),
              QString());
    form->UserFolder = Save;
    form->FormCreate();

    EXPECT_EQ(form->SaveDirName, Save);
    EXPECT_EQ(view.label(TLabel::Destination),
              "Save folder " + gone + " is not there: saving to " + Save);
    EXPECT_EQ(view.DestinationColor, (TColor{255, 0, 0}));
    // On a narrow line both ends stay: the start of the sentence and the folder saved into.
    view.DestinationWidth = 40;
    form->LoadSettings();
    EXPECT_LE(view.label(TLabel::Destination).size(), 40);
    EXPECT_TRUE(view.label(TLabel::Destination).startsWith(QStringLiteral("Save folder ")));
    EXPECT_TRUE(view.label(TLabel::Destination).endsWith(QStringLiteral("save/")));
    EXPECT_FALSE(form->IsTicked(TMenuItem::CheckUpdates));
    CopyFixture(QStringLiteral("in.wav"), In + QStringLiteral("/a.wav"));
    Drop({In + QStringLiteral("/a.wav")});
    EXPECT_EQ(FilesBelow(Save), QStringList{QStringLiteral("a.mp3")});

    form->FormClose();
    const TSettingsStore::TKey key = Store().OpenForReading(QStringLiteral("width"));
    EXPECT_EQ(key.readString(QStringLiteral("SaveDirName")).Value, gone);
    EXPECT_EQ(key.stored(QStringLiteral("checkupdate")), QJsonValue(false));
}

class LifecycleBrokenSettingsTest : public LifecycleTest,
                                    public ::testing::WithParamInterface<TBrokenSettings>
{};

// Before anything is written the file goes aside whole, one message says which file, what is
// wrong, what this start reads and where the file went; the writes then make a fresh file.
TEST_P(LifecycleBrokenSettingsTest, UserFileIsSetAsideAndSaidOnce)
{
    const TBrokenSettings& shape = GetParam();
    ASSERT_TRUE(MakeBrokenSettings(shape, UserFile()));
    const TFifoWatchdog watchdog(UserFile());

    Start();

    const QStringList aside = SetAside();
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(aside.first().startsWith(UserFile() + QStringLiteral(".broken-")));
    EXPECT_TRUE(IsBrokenSettings(shape, aside.first()));
    EXPECT_EQ(view.Messages, QStringList{QStringLiteral("The settings file ") +
                                         Unreadable(UserFile(), shape.problem) +
                                         QStringLiteral(". Quarlow starts with the default "
                                                        "settings. The old file is kept as ") +
                                         aside.first() + u'.'});
    EXPECT_EQ(form->Settings.Width, TMainSettings::DefaultWidth);
    EXPECT_TRUE(form->IsTicked(TMenuItem::CheckUpdates));
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("Lame setting : APS"));

    form->FormActivate();
    form->FormClose();
    EXPECT_EQ(view.Messages.size(), 1);
    EXPECT_EQ(SetAside(), aside);
    EXPECT_TRUE(IsBrokenSettings(shape, aside.first()));
    const TSettingsStore::TKey key = Store().OpenForReading(QStringLiteral("width"));
    EXPECT_EQ(key.readInteger(QStringLiteral("width")).Value, TMainSettings::DefaultWidth);
    EXPECT_EQ(key.readString(QStringLiteral("lamename")).Value, QStringLiteral("APS"));
}

INSTANTIATE_TEST_SUITE_P(Shapes, LifecycleBrokenSettingsTest,
                         ::testing::ValuesIn(BrokenSettingsShapes()),
                         [](const auto& info) { return std::string(info.param.name); });

// With the user's file set aside, the administrator's is what the start reads; one of those
// that cannot be read is said in the same message and is left alone.
TEST_F(LifecycleTest, BrokenFilesAreSaidInOneMessageWithWhatTheStartReads)
{
    const QByteArray broken = R"({"width": 800,})";
    const QString problem = QStringLiteral("line 1, column 15: object is missing after a comma");
    struct TCase
    {
        const char* name;
        QByteArray machine;
        QString reads;
        QString machineSaid;
        int width;
    };
    const TCase cases[] = {
        {"administrator's file read", R"({"width": 600, "lamename": "APX"})",
         "the administrator's settings from " + MachineFile(), QString(), 600},
        {"administrator's file broken too", broken, QStringLiteral("the default settings"),
         "\n\nThe administrator's settings file " + Unreadable(MachineFile(), problem) +
             "; Quarlow does without it.",
         TMainSettings::DefaultWidth},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Write(UserFile(), broken);
        Write(MachineFile(), c.machine);
        view.Messages.clear();
        form = std::make_unique<TForm1>(view, Store());
        Start();

        const QStringList aside = SetAside();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(view.Messages,
                  QStringList{"The settings file " + Unreadable(UserFile(), problem) +
                              ". Quarlow starts with " + c.reads + ". The old file is kept as " +
                              aside.first() + "." + c.machineSaid});
        EXPECT_EQ(form->Settings.Width, c.width);
        form->FormClose();
        EXPECT_EQ(ReadAll(MachineFile()), c.machine);
        EXPECT_EQ(ReadAll(aside.first()), broken);
        ASSERT_TRUE(QFile::remove(aside.first()));
    }
}

// A broken file that cannot be moved (its folder is read-only) stays as it is, and each write
// refuses and says why, as a failed save is said.
TEST_F(LifecycleTest, BrokenFileThatCannotBeMovedStaysAndEveryWriteSaysWhy)
{
    const QByteArray broken = R"({"width": 800,})";
    Write(UserFile(), broken);
    const QByteArray config = QFile::encodeName(root.filePath(QStringLiteral("config")));
    ASSERT_EQ(chmod(config.constData(), 0500), 0);
    {
        const TWithoutPrivileges asAUser;
        Start();
        form->FormClose();
    }
    chmod(config.constData(), 0700);

    EXPECT_EQ(ReadAll(UserFile()), broken);
    EXPECT_EQ(SetAside(), QStringList());
    const QString refusal =
        "The settings could not be saved: " +
        Unreadable(UserFile(), "line 1, column 15: object is missing after a comma") +
        " and is left as it is";
    // The option sets' load at the first activation, and the exit.
    EXPECT_EQ(view.Messages, QStringList({refusal, refusal}));
}

// A close request that came between the start and the first activation (the window closed
// at once) leaves the activation out: no tool is probed, and a drop meanwhile starts nothing.
TEST_F(LifecycleTest, ACloseBeforeTheFirstActivationLeavesItOut)
{
    const QString source = In + QStringLiteral("/a.wav");
    CopyFixture(QStringLiteral("in.wav"), source);
    Create();
    EXPECT_TRUE(form->FormCloseQuery());
    Drop({source});
    form->FormActivate();

    EXPECT_TRUE(view.CodecStatuses.isEmpty()) << "no tool was probed";
    EXPECT_EQ(FilesBelow(Save), QStringList());
    EXPECT_EQ(view.Queue, QStringList{source});
    EXPECT_EQ(view.CloseRequests, 1) << "the window, closed already, is asked once more";
}

// A close request while the first activation probes a tool: the probe is stopped, no tool
// starts after it, a drop that comes meanwhile (before or after the request) only queues, and
// the window is asked to close once the activation has ended.
enum class TDropMoment
{
    None,
    BeforeTheClose,
    AfterTheClose
};

struct TStartupStopCase
{
    const char* name;
    const char* tool;
    const char* on;
    TDropMoment drop;
};

class StartupStopTest : public LifecycleTest, public ::testing::WithParamInterface<TStartupStopCase>
{};

TEST_P(StartupStopTest, ACloseRequestDuringAProbeEndsTheStart)
{
    const TStartupStopCase& c = GetParam();
    const QString source = In + QStringLiteral("/a.wav");
    CopyFixture(QStringLiteral("in.wav"), source);
    Create();
    StallTelling(QString::fromLatin1(c.tool), c.on);
    bool closed = false;
    view.OnProcessEvents = [&] {
        if (closed || ReadAll(Pids()).isEmpty())
            return;
        closed = true;
        if (c.drop == TDropMoment::BeforeTheClose)
            Drop({source});
        EXPECT_FALSE(form->FormCloseQuery()) << "the probe still runs";
        if (c.drop == TDropMoment::AfterTheClose)
            Drop({source});
    };
    form->FormActivate();

    ASSERT_TRUE(closed);
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_TRUE(form->FormCloseQuery()) << "nothing runs any more";
    EXPECT_EQ(FilesBelow(Save), QStringList());
    EXPECT_TRUE(view.Titles.filter(QStringLiteral("Lame:")).isEmpty()) << "no run started";
    EXPECT_EQ(view.Queue, c.drop == TDropMoment::None ? QStringList() : QStringList{source});
    const QList<QByteArray> pids = StalledPids();
    ASSERT_EQ(pids.size(), 1) << "the close stopped the probe, and no tool started after it";
    EXPECT_NE(::kill(pids.first().toInt(), 0), 0) << "the stalled probe is gone";
}

INSTANTIATE_TEST_SUITE_P(
    Probes, StartupStopTest,
    ::testing::Values(TStartupStopCase{"lame_version", "lame", "", TDropMoment::None},
                      TStartupStopCase{"lame_version_drop_after_the_close", "lame", "",
                                       TDropMoment::AfterTheClose},
                      TStartupStopCase{"flac_version_drop_before_the_close", "flac", "",
                                       TDropMoment::BeforeTheClose},
                      TStartupStopCase{"help_capture", "lame", "--longhelp", TDropMoment::None},
                      TStartupStopCase{"help_capture_drop_after_the_close", "lame", "--longhelp",
                                       TDropMoment::AfterTheClose}),
    [](const auto& info) { return std::string(info.param.name); });

// A close request while a box of the start is open (an alpha LAME refused, a newer release
// announced) waits for the box and then closes; nothing of the start comes after the box.
enum class TStartupBox
{
    LameRefused,
    UpdateAnnounced
};

struct TStartupBoxCase
{
    const char* name;
    TStartupBox box;
};

class StartupBoxTest : public LifecycleTest, public ::testing::WithParamInterface<TStartupBoxCase>
{};

TEST_P(StartupBoxTest, ACloseRequestDuringABoxClosesAfterIt)
{
    Create();
    if (GetParam().box == TStartupBox::LameRefused) {
        // Every call of lame shows an alpha banner and ends.
        StallTelling(QStringLiteral("lame"), "", "LAME 64bits version 3.100 alpha\n");
        qputenv("STALL_SIGNAL", "15");
    } else {
        ServeVersionFile(TVersionServer::TMode::Answer);
    }
    int refusals = 0;
    view.OnModal = [&] { refusals += form->FormCloseQuery() ? 0 : 1; };
    form->FormActivate();

    ASSERT_TRUE(RunEventsUntil([&] { return view.CloseRequests != 0; }));
    EXPECT_EQ(refusals, 1) << "the close waited for the box";
    EXPECT_EQ(view.Messages.size() + view.UpdateMessages.size(), 1);
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_TRUE(form->FormCloseQuery());
    if (GetParam().box == TStartupBox::LameRefused) {
        EXPECT_EQ(StalledPids().size(), 1) << "LAME's help was not captured";
    } else {
        EXPECT_TRUE(form->Settings.Update.applversretrieved) << "the message was shown";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, StartupBoxTest,
    ::testing::Values(TStartupBoxCase{"lame_refused", TStartupBox::LameRefused},
                      TStartupBoxCase{"update_announced", TStartupBox::UpdateAnnounced}),
    [](const auto& info) { return std::string(info.param.name); });

// The update check waits for a server that accepts and never answers: the window goes on and
// a drop is converted meanwhile; a close request aborts the fetch, and the window closes once
// the failed fetch has been applied.
TEST_F(LifecycleTest, AStalledUpdateServerHoldsUpNeitherADropNorAClose)
{
    ServeVersionFile(TVersionServer::TMode::Stall);
    const QString source = In + QStringLiteral("/a.wav");
    CopyFixture(QStringLiteral("in.wav"), source);
    Create();
    // Far beyond the two minutes after which the server answers after all.
    form->UpdateRequestTimeoutMs = 3600 * 1000;
    form->FormActivate();
    ASSERT_TRUE(RunEventsUntil([&] { return server->Requests().size() == 1; }));
    EXPECT_TRUE(form->HelpText.join(u'\n').contains(QStringLiteral("--preset")))
        << "the start went on";

    Drop({source});
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
    EXPECT_TRUE(view.VersionCheckVisible) << "the fetch still waits";
    EXPECT_EQ(server->HangUps(), 0);

    EXPECT_FALSE(form->FormCloseQuery());
    ASSERT_TRUE(RunEventsUntil([&] { return view.CloseRequests != 0; }));
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_FALSE(view.VersionCheckVisible);
    EXPECT_TRUE(RunEventsUntil([&] { return server->HangUps() == 1; }));
    EXPECT_TRUE(view.UpdateMessages.isEmpty());
    EXPECT_FALSE(form->Settings.Update.applversretrieved);
    EXPECT_TRUE(form->FormCloseQuery());
}

} // namespace

// Start-up and shut-down: the settings the window keeps between starts, the order of the
// first activation, and a close during a run.
#include "BrokenSettings.h"
#include "TAudio.h"
#include "TCodecStatus.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
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

} // namespace

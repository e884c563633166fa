// Start-up and shut-down: the settings the window keeps between starts, the order of the
// first activation, and a close during a run.
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

} // namespace

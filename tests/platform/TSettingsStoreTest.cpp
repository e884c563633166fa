// The settings store: typed values in two roots, "missing" and "other type" apart, writes
// that replace the file in one step, and files that cannot be read as settings, which are
// read as empty, never written over and set aside whole.
#include "TSettingsStore.h"

#include "BrokenSettings.h"
#include "Privileges.h"
#include "QtPrinters.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class TSettingsStoreTest : public ::testing::Test
{
protected:
    QString User() const { return dir.filePath("user/Fendrick/KPZ05.json"); }
    QString Machine() const { return dir.filePath("machine/Fendrick/KPZ05.json"); }
    void WriteJson(const QString& file, const QByteArray& json)
    {
        ASSERT_TRUE(WriteFile(file, json));
    }

    QTemporaryDir dir;
    TSettingsStore store{User(), Machine()};
};

TEST_F(TSettingsStoreTest, ValuesAreThereMissingOrOfAnotherType)
{
    WriteJson(User(), R"({"width": 800, "name": "x", "half": 1.5, "big": 2147483648,
                          "flag": true, "off": false, "list": [1],
                          "negative": -2147483648})");
    const TSettingsStore::TKey key = store.OpenForReading("width");
    struct Case
    {
        const char* name;
        TStored asString;
        TStored asInteger;
        TStored asBoolean;
    };
    for (const Case& c : {Case{"width", TStored::OtherType, TStored::Present, TStored::Present},
                          Case{"name", TStored::Present, TStored::OtherType, TStored::OtherType},
                          Case{"half", TStored::OtherType, TStored::OtherType, TStored::OtherType},
                          Case{"big", TStored::OtherType, TStored::OtherType, TStored::OtherType},
                          Case{"flag", TStored::OtherType, TStored::OtherType, TStored::Present},
                          Case{"off", TStored::OtherType, TStored::OtherType, TStored::Present},
                          Case{"list", TStored::OtherType, TStored::OtherType, TStored::OtherType},
                          Case{"negative", TStored::OtherType, TStored::Present, TStored::Present},
                          Case{"absent", TStored::Missing, TStored::Missing, TStored::Missing}}) {
        EXPECT_EQ(key.readString(c.name).State, c.asString) << c.name;
        EXPECT_EQ(key.readInteger(c.name).State, c.asInteger) << c.name;
        EXPECT_EQ(key.readBoolean(c.name).State, c.asBoolean) << c.name;
    }
    EXPECT_EQ(key.readBoolean("flag").Value, 1);
    EXPECT_EQ(key.readBoolean("off").Value, 0);
    EXPECT_EQ(key.readBoolean("width").Value, 800);
    EXPECT_EQ(key.readInteger("width").Value, 800);
    EXPECT_EQ(key.readInteger("negative").Value, -2147483647 - 1);
    EXPECT_EQ(key.readString("name").Value, "x");
}

// Without the probe value in the user root, every value of that reading comes from the
// machine root, even those the user root has.
TEST_F(TSettingsStoreTest, UserRootWithoutTheProbeReadsTheMachineRoot)
{
    WriteJson(User(), R"({"Top": 1})");
    WriteJson(Machine(), R"({"width": 600, "Top": 2})");
    EXPECT_EQ(store.OpenForReading("width").readInteger("Top").Value, 2);
    EXPECT_EQ(store.OpenForReading("Top").readInteger("Top").Value, 1);
    // No file at all: nothing is there.
    QFile::remove(Machine());
    EXPECT_EQ(store.OpenForReading("width").readInteger("Top").State, TStored::Missing);
    EXPECT_EQ(store.MachineState().Kind, TRootKind::Missing);
    EXPECT_EQ(store.UserState().Kind, TRootKind::Fine);
}

class TSettingsStoreBrokenTest : public TSettingsStoreTest,
                                 public ::testing::WithParamInterface<TBrokenSettings>
{
protected:
    static QString Refusal(const QString& file, const QString& problem)
    {
        return file + " cannot be read (" + problem + ") and is left as it is";
    }
};

// A broken user file reads as empty, so the machine root gives the values; a write refuses
// and leaves it; set aside, it keeps its bytes under the new name, and the next write makes
// a fresh file.
TEST_P(TSettingsStoreBrokenTest, UserFileIsNeverWrittenOverAndIsSetAsideWhole)
{
    const TBrokenSettings& shape = GetParam();
    WriteJson(Machine(), R"({"Top": 2})");
    ASSERT_TRUE(MakeBrokenSettings(shape, User()));
    const TFifoWatchdog watchdog(User());

    const TRootState state = store.UserState();
    EXPECT_EQ(state.Kind, TRootKind::Broken);
    EXPECT_EQ(state.Problem, shape.problem);
    EXPECT_EQ(store.OpenForReading("width").readInteger("Top").Value, 2);
    EXPECT_EQ(store.Write({{"width", 900}}), Refusal(User(), shape.problem));
    EXPECT_TRUE(IsBrokenSettings(shape, User()));

    const TMade moved = store.SetAsideUserFile(QDateTime(QDate(2026, 12, 10), QTime(14, 35, 1)));
    EXPECT_EQ(moved.Error, QString());
    EXPECT_EQ(moved.Path, User() + ".broken-20261210-143501");
    EXPECT_TRUE(IsBrokenSettings(shape, moved.Path));
    EXPECT_EQ(store.UserState().Kind, TRootKind::Missing);
    ASSERT_EQ(store.Write({{"width", 900}}), QString());
    EXPECT_EQ(store.UserState().Kind, TRootKind::Fine);
    EXPECT_EQ(store.OpenForReading("width").readInteger("width").Value, 900);
    EXPECT_TRUE(IsBrokenSettings(shape, moved.Path));
}

// The administrator's file is only ever read: broken, it reads as empty and stays.
TEST_P(TSettingsStoreBrokenTest, MachineFileReadsAsEmptyAndIsLeftAlone)
{
    const TBrokenSettings& shape = GetParam();
    ASSERT_TRUE(MakeBrokenSettings(shape, Machine()));
    const TFifoWatchdog watchdog(Machine());

    const TRootState state = store.MachineState();
    EXPECT_EQ(state.Kind, TRootKind::Broken);
    EXPECT_EQ(state.Problem, shape.problem);
    EXPECT_EQ(store.SettingsInstead(), "the default settings");
    EXPECT_EQ(store.OpenForReading("width").readInteger("Top").State, TStored::Missing);
    EXPECT_EQ(store.Write({{"Top", 3}}), QString());
    EXPECT_EQ(store.OpenForReading("Top").readInteger("Top").Value, 3);
    EXPECT_TRUE(IsBrokenSettings(shape, Machine()));
}

INSTANTIATE_TEST_SUITE_P(Shapes, TSettingsStoreBrokenTest,
                         ::testing::ValuesIn(BrokenSettingsShapes()),
                         [](const auto& info) { return std::string(info.param.name); });

// A file the user may not read is one that cannot be read as settings, and says why.
TEST_F(TSettingsStoreTest, FileThatMayNotBeReadIsBroken)
{
    WriteJson(User(), R"({"width": 800})");
    ASSERT_TRUE(QFile::setPermissions(User(), QFileDevice::WriteOwner));
    TRootState state;
    QString refusal;
    {
        const TWithoutPrivileges asAUser;
        state = store.UserState();
        refusal = store.Write({{"width", 900}});
    }
    EXPECT_EQ(state.Kind, TRootKind::Broken);
    EXPECT_EQ(state.Problem, "it cannot be opened: Permission denied");
    EXPECT_TRUE(refusal.contains(state.Problem));
    ASSERT_TRUE(QFile::setPermissions(User(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(ReadAll(User()), R"({"width": 800})");
}

// Files of earlier starts under the names it would take stay as they are.
TEST_F(TSettingsStoreTest, SetAsideNeverReplacesAFile)
{
    WriteJson(User(), "{");
    const QString name = User() + ".broken-20261210-143501";
    WriteJson(name, "first");
    WriteJson(name + "-2", "second");

    const TMade moved = store.SetAsideUserFile(QDateTime(QDate(2026, 12, 10), QTime(14, 35, 1)));

    EXPECT_EQ(moved.Path, name + "-3");
    EXPECT_EQ(ReadAll(moved.Path), "{");
    EXPECT_EQ(ReadAll(name), "first");
    EXPECT_EQ(ReadAll(name + "-2"), "second");
}

// A fine machine file is what a start reads when the user's has nothing.
TEST_F(TSettingsStoreTest, SettingsInsteadNameTheAdministratorsFileWhenItCanBeRead)
{
    EXPECT_EQ(store.SettingsInstead(), "the default settings");
    WriteJson(Machine(), R"({"width": 600})");
    EXPECT_EQ(store.SettingsInstead(), "the administrator's settings from " + Machine());
}

TEST_F(TSettingsStoreTest, WriteKeepsTheOtherValuesAndCreatesTheFolder)
{
    ASSERT_EQ(store.Write({{"a", 1}, {"b", "text"}}), QString());
    ASSERT_EQ(store.Write({{"b", "new"}, {"c", 3}}), QString());
    const TSettingsStore::TKey key = store.OpenForReading("a");
    EXPECT_EQ(key.readInteger("a").Value, 1);
    EXPECT_EQ(key.readString("b").Value, "new");
    EXPECT_EQ(key.readInteger("c").Value, 3);
    EXPECT_FALSE(QFile::exists(Machine()));
}

// A write that cannot be done leaves the old store whole and says why.
TEST_F(TSettingsStoreTest, FailedWriteKeepsTheOldStoreAndSaysWhy)
{
    ASSERT_EQ(store.Write({{"width", 800}}), QString());
    const QByteArray before = ReadAll(User());
    const QByteArray folder = QFile::encodeName(QFileInfo(User()).path());
    ASSERT_EQ(chmod(folder.constData(), 0500), 0);
    QString error;
    {
        const TWithoutPrivileges asAUser;
        error = store.Write({{"width", 900}});
    }
    chmod(folder.constData(), 0700);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(User()), before);
    EXPECT_EQ(QDir(QFileInfo(User()).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"KPZ05.json"});
}

TEST_F(TSettingsStoreTest, ReadOnlyStoreWritesNothing)
{
    ASSERT_EQ(store.Write({{"width", 800}}), QString());
    const TSettingsStore readOnly(User(), Machine(), TSettingsStore::TAccess::ReadOnly);
    EXPECT_EQ(readOnly.Write({{"width", 900}}), QString());
    EXPECT_EQ(readOnly.OpenForReading("width").readInteger("width").Value, 800);
    // Not even a file that cannot be read is moved.
    WriteJson(User(), "{");
    EXPECT_FALSE(readOnly.SetAsideUserFile(QDateTime::currentDateTime()).Error.isEmpty());
    EXPECT_EQ(ReadAll(User()), "{");
    EXPECT_EQ(QDir(QFileInfo(User()).path()).entryList(QDir::Files), QStringList{"KPZ05.json"});
}

TEST(TSettingsStoreFiles, FollowTheXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(TSettingsStore::ForThisUser().userFile(), "/x/config/Fendrick/KPZ05.json");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(TSettingsStore::ForThisUser().userFile(),
              qEnvironmentVariable("HOME") + "/.config/Fendrick/KPZ05.json");
    EXPECT_EQ(TSettingsStore::ForThisUser().machineFile(), "/etc/xdg/Fendrick/KPZ05.json");
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace

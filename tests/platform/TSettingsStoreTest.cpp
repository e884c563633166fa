// The settings store: typed values in two roots, "missing" and "other type" apart, writes
// that replace the file in one step.
#include "TSettingsStore.h"

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
                          "flag": true, "list": [1], "negative": -2147483648})");
    const TSettingsStore::TKey key = store.OpenForReading("width");
    struct Case
    {
        const char* name;
        TStored asString;
        TStored asInteger;
    };
    for (const Case& c : {Case{"width", TStored::OtherType, TStored::Present},
                          Case{"name", TStored::Present, TStored::OtherType},
                          Case{"half", TStored::OtherType, TStored::OtherType},
                          Case{"big", TStored::OtherType, TStored::OtherType},
                          Case{"flag", TStored::OtherType, TStored::OtherType},
                          Case{"list", TStored::OtherType, TStored::OtherType},
                          Case{"negative", TStored::OtherType, TStored::Present},
                          Case{"absent", TStored::Missing, TStored::Missing}}) {
        EXPECT_EQ(key.readString(c.name).State, c.asString) << c.name;
        EXPECT_EQ(key.readInteger(c.name).State, c.asInteger) << c.name;
    }
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
    // No file at all, or one that is no JSON object: nothing is there.
    WriteJson(User(), "not json");
    QFile::remove(Machine());
    EXPECT_EQ(store.OpenForReading("width").readInteger("Top").State, TStored::Missing);
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

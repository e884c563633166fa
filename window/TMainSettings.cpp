#include "TMainSettings.h"

#include "FileSystem.h"
#include "LocalNames.h"
#include "PathText.h"
#include "ToolNames.h"

#include <QThread>
#include <algorithm>
#include <fcntl.h>

namespace {

// The names of the values in the store.
const QString TabIndexValue = QStringLiteral("tindex");
const QString WidthValue = QStringLiteral("width");
const QString SmemValue = QStringLiteral("smem");
const QString DayValue = QStringLiteral("julianday");
const QString CheckUpdateValue = QStringLiteral("checkupdate");
const QString ProgVersValue = QStringLiteral("progversnew");
const QString ApplVersValue = QStringLiteral("applversnew");
const QString TopValue = QStringLiteral("Top");
const QString LeftValue = QStringLiteral("Left");
const QString VerifyOnlyValue = QStringLiteral("VerifyOnly");
const QString RetrievedValue = QStringLiteral("applversretrieved");
const QString SaveDirValue = QStringLiteral("SaveDirName");
const QString LamePathValue = QStringLiteral("LamePath");
const QString FlacPathValue = QStringLiteral("FlacPath");
const QString ApePathValue = QStringLiteral("ApePath");
const QString SaveToSourceValue = QStringLiteral("Save2Src");
const QString JobsValue = QStringLiteral("jobs");
const QString UpdateOnlyValue = QStringLiteral("UpdateOnly");

// A tool folder of another type stands for a folder that was never set.
const QString NoFolder = QStringLiteral("0");

const QString ReadOnlyWarning =
    QStringLiteral("Destination is read-only: set to User Directory instead");

QString SaveFolderFallbackText(const QString& stored, const QString& userFolder)
{
    const QString problem = PathKind(stored) == TPathKind::Missing
                                ? QStringLiteral("is not there")
                                : QStringLiteral("cannot be written");
    return QStringLiteral("Save folder %1 %2: saving to %3").arg(stored, problem, userFolder);
}

int IntegerOr(const TStoredValue<int>& stored, int fallback)
{
    return stored.State == TStored::Present ? stored.Value : fallback;
}

// Any number but 0 is true.
bool BooleanOr(const TStoredValue<int>& stored, bool fallback)
{
    return stored.State == TStored::Present ? stored.Value != 0 : fallback;
}

int StoredBoolean(bool value)
{
    return value ? 1 : 0;
}

// A folder that was never stored is where PATH finds the tool, so that installed tools work
// at once; a stored one, even "" or "0", is the user's choice.
QString ToolFolder(const TStoredValue<QString>& stored, const QString& tool)
{
    if (stored.State == TStored::Missing)
        return ToolFolderOnPath(tool);
    return StringOr(stored, NoFolder);
}

QString WithSeparator(const QString& folder)
{
    return folder.endsWith(PathSeparator) ? folder : folder + PathSeparator;
}

} // namespace

TSettingsLoad TMainSettings::LoadSettings(const TSettingsStore& store, const QString& userFolder)
{
    const TSettingsStore::TKey key = store.OpenForReading(WidthValue);
    TSettingsLoad load;
    const TStoredValue<int> tab = key.readInteger(TabIndexValue);
    load.TabIndexRead = tab.State == TStored::Present;
    TabIndex = IntegerOr(tab, TabIndex);
    Width = IntegerOr(key.readInteger(WidthValue), DefaultWidth);
    smem = IntegerOr(key.readInteger(SmemValue), DefaultSmem);
    Update.CheckUpdates = BooleanOr(key.readBoolean(CheckUpdateValue), true);
    Update.StoredDay = StringOr(key.readString(DayValue), QStringLiteral("39700"));
    Update.progversnew = StringOr(key.readString(ProgVersValue), QStringLiteral("1.0.0.2"));
    Update.applversnew = StringOr(key.readString(ApplVersValue), QStringLiteral("0.8.9.22"));
    Top = IntegerOr(key.readInteger(TopValue), DefaultTop);
    Left = IntegerOr(key.readInteger(LeftValue), DefaultLeft);
    Update.applversretrieved = BooleanOr(key.readBoolean(RetrievedValue), false);
    VerifyOnly = BooleanOr(key.readBoolean(VerifyOnlyValue), false);
    ReadSaveDirName(key.readString(SaveDirValue), userFolder, load);
    FlacPath = ToolFolder(key.readString(FlacPathValue), FlacTool);
    LamePath = ToolFolder(key.readString(LamePathValue), LameTool);
    ApePath = ToolFolder(key.readString(ApePathValue), MacTool);
    SaveToSource = BooleanOr(key.readBoolean(SaveToSourceValue), false);
    const int jobs = IntegerOr(key.readInteger(JobsValue), OnePerCore);
    Jobs = jobs >= 0 && jobs <= MaxJobs ? jobs : OnePerCore;
    UpdateOnly = BooleanOr(key.readBoolean(UpdateOnlyValue), false);
    m_asRead.Remember(key, StoredValues(Update.StoredDay));
    if (!load.SaveFolderFallback.isEmpty())
        m_asRead.Keep(key, SaveDirValue, SaveDirName);
    // A number out of range stays stored as it was until the user chooses.
    if (Jobs != jobs)
        m_asRead.Keep(key, JobsValue, Jobs);
    return load;
}

void TMainSettings::SetJobs(int jobs)
{
    Jobs = std::clamp(jobs, OnePerCore, MaxJobs);
    m_asRead.Forget(JobsValue);
}

int TMainSettings::JobCount() const
{
    return Jobs != OnePerCore ? Jobs : CoreCount();
}

int TMainSettings::CoreCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, MaxJobs);
}

// A missing value reads as the empty folder and so, like one that is gone or read-only,
// gives userFolder; a value of another type gives it without showing it. A folder on a drive
// that is not mounted now is still the user's choice: only this run saves elsewhere.
void TMainSettings::ReadSaveDirName(const TStoredValue<QString>& stored, const QString& userFolder,
                                    TSettingsLoad& load)
{
    SaveDirName = userFolder;
    if (stored.State == TStored::OtherType)
        return;
    if (IsWritableFolder(stored.Value))
        SaveDirName = stored.Value;
    else if (!stored.Value.isEmpty())
        load.SaveFolderFallback = SaveFolderFallbackText(stored.Value, userFolder);
    SaveFolder = SaveDirName;
    load.SaveFolderSet = true;
}

void TMainSettings::FixLoadedSettings()
{
    // Versions and a day this old make the first update check fetch the version file.
    if (Update.progversnew.isEmpty())
        Update.progversnew = QStringLiteral("0.0.0.7");
    if (Update.applversnew.isEmpty())
        Update.applversnew = QStringLiteral("0.7.7.7");
    if (Update.StoredDay.isEmpty())
        Update.StoredDay = QStringLiteral("10000");
    if (smem < 0 || smem > MaxSmem)
        smem = DefaultSmem;
}

QString TMainSettings::SaveSettings(const TSettingsStore& store) const
{
    return store.Write(m_asRead.KeepUnchanged(StoredValues(Update.DayToStore)));
}

TSettingsStore::TValues TMainSettings::StoredValues(const QString& day) const
{
    return {
        {TabIndexValue, TabIndex},
        {WidthValue, std::min(Width, MaxStoredWidth)},
        {SmemValue, smem},
        {DayValue, day},
        {CheckUpdateValue, StoredBoolean(Update.CheckUpdates)},
        {ProgVersValue, Update.progversnew},
        {ApplVersValue, Update.applversnew},
        {TopValue, Top},
        {LeftValue, Left},
        {VerifyOnlyValue, StoredBoolean(VerifyOnly)},
        {RetrievedValue, StoredBoolean(Update.applversretrieved)},
        {SaveDirValue, SaveDirName},
        {LamePathValue, LamePath},
        {FlacPathValue, FlacPath},
        {ApePathValue, ApePath},
        {SaveToSourceValue, StoredBoolean(SaveToSource)},
        {JobsValue, Jobs},
        {UpdateOnlyValue, StoredBoolean(UpdateOnly)},
    };
}

bool TMainSettings::ChooseSaveFolder(ISaveFolderView& view, const QString& userFolder,
                                     const QString& programFolder)
{
    view.clearDestination();
    SaveFolder = SaveFolder.isEmpty() ? programFolder : SaveDirName;
    const std::optional<QString> chosen = view.askSaveFolder(
        QStringLiteral("Save to: \"") + SaveFolder + QStringLiteral("\" ?"), SaveFolder);
    if (!chosen) {
        view.setSaveToCaption(SaveToCaption());
        return false;
    }
    SaveToSource = false;
    m_asRead.Forget(SaveDirValue);
    const QString folder = WithSeparator(*chosen);
    const bool usable = IsWritableFolder(folder);
    if (!usable)
        view.showDestinationWarning(ReadOnlyWarning);
    SaveFolder = SaveDirName = usable ? folder : userFolder;
    view.setSaveToCaption(SaveToCaption());
    return true;
}

QString TMainSettings::SaveToCaption() const
{
    return QStringLiteral("Save to: ") + SaveFolder + QStringLiteral("   (click to change)");
}

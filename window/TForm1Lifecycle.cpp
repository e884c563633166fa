// TForm1: start-up, the settings it keeps between starts, and shut-down.
#include "TForm1.h"
#include "TUpdateCheck.h"
#include "TVersionComp.h"

#include <QDate>

// Today's day number first: the update check runs once a day.
void TForm1::FormCreate()
{
    Settings.Update.DayToStore = DayNumber(QDate::currentDate());
    LoadSettings();
    OrigLamePath = LamePath;
    OrigApePath = ApePath;
    OrigFlacPath = FlacPath;
    Settings.FixLoadedSettings();
}

void TForm1::LoadSettings()
{
    const TSettingsLoad load = Settings.LoadSettings(m_store, UserFolder);
    SaveDirName = Settings.SaveDirName;
    LamePath = Settings.LamePath;
    FlacPath = Settings.FlacPath;
    ApePath = Settings.ApePath;
    SetTicked(TMenuItem::Verifyonly1, Settings.VerifyOnly);
    SetTicked(TMenuItem::Savetosourcedirectory1, Settings.SaveToSource);
    SetTicked(TMenuItem::CheckUpdates, Settings.Update.CheckUpdates);
    VerifyMode = Settings.VerifyOnly;
    if (load.SaveFolderSet)
        m_view.setSaveToCaption(Settings.SaveToCaption());
}

bool TForm1::SaveSettings()
{
    Settings.SaveDirName = SaveDirName;
    Settings.LamePath = LamePath;
    Settings.FlacPath = FlacPath;
    Settings.ApePath = ApePath;
    Settings.VerifyOnly = IsTicked(TMenuItem::Verifyonly1);
    Settings.SaveToSource = IsTicked(TMenuItem::Savetosourcedirectory1);
    Settings.Update.CheckUpdates = IsTicked(TMenuItem::CheckUpdates);
    const QString error = Settings.SaveSettings(m_store);
    ReportStoreError(error);
    return error.isEmpty();
}

void TForm1::mnuSaveToClick()
{
    if (Settings.ChooseSaveFolder(m_view, UserFolder, ProgramFolder))
        SetTicked(TMenuItem::Savetosourcedirectory1, false);
    SaveDirName = Settings.SaveDirName;
}

// The first activation loads the option sets, finds the tools, checks for an update and
// captures LAME's help; later ones change nothing. Files dropped meanwhile are converted then.
void TForm1::FormActivate()
{
    if (!m_firstActivation)
        return;
    m_firstActivation = false;
    LoadLameOptions();
    const TVersionComp version;
    m_view.setWindowCaption(FileDescription + u' ' + version.GetFileVersion() + u' ');
    CancelRequested = Busy = ErrorsMuted = false;
    SetEnabled(TMenuItem::mnuSaveTo, !IsTicked(TMenuItem::Savetosourcedirectory1));
    m_view.processEvents();
    RefreshCodecStatus();
    CheckForUpdate(version);
    m_view.bringToFront(false);
    ShowStatusLines(VerifyMode);
    m_view.setLabelText(TLabel::Version, QString());
    LoadLameHelp();
    if (!m_queue.IsEmpty() && !Busy)
        TranscodeQueue();
}

void TForm1::CheckForUpdate(const TVersionComp& version)
{
    TUpdateCheck(m_view, version, WebHost()).CheckForUpdate(Settings.Update);
}

QString TForm1::WebHost() const
{
    const QString webHost = QStringLiteral("WebHost");
    return UpdateHost(m_store.OpenForReading(webHost).readString(webHost));
}

// A close while idle saves the settings; during a run the run is cancelled first and
// closes the window when it has ended, so the settings are saved after it. The job the
// close cut short has removed its own partial MP3: closing deletes nothing.
void TForm1::FormClose()
{
    SaveSettings();
}

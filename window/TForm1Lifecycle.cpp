// TForm1: start-up, the settings it keeps between starts, and shut-down.
#include "TForm1.h"
#include "TUpdateCheck.h"
#include "TVersionComp.h"

#include <QDateTime>
#include <QScopedValueRollback>

// Today's day number first: the update check runs once a day. A close request that comes
// meanwhile (while a box is open) waits for the first activation: the window is not shown
// yet, and the settings are not whole.
void TForm1::FormCreate()
{
    const QScopedValueRollback starting(m_starting, true);
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
        Window().setSaveToCaption(Settings.SaveToCaption());
    if (!load.SaveFolderFallback.isEmpty())
        Window().showDestinationWarning(ShortenPath(load.SaveFolderFallback));
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
    if (Settings.ChooseSaveFolder(Window(), UserFolder, ProgramFolder))
        SetTicked(TMenuItem::Savetosourcedirectory1, false);
    SaveDirName = Settings.SaveDirName;
}

// A settings file that cannot be read is never written over. Before the first write (the
// option sets' load), a broken user file goes to a new name beside it, and the user learns
// once, with the window up, what was wrong, what this start reads and where the file went. A
// user file that cannot be moved stays, and every write then says why it refuses.
void TForm1::SetAsideBrokenSettings()
{
    QStringList said;
    if (const TRootState user = m_store.UserState(); user.Kind == TRootKind::Broken) {
        const TMade moved = m_store.SetAsideUserFile(QDateTime::currentDateTime());
        if (moved.Error.isEmpty())
            said << QStringLiteral("The settings file %1. Quarlow starts with %2. The old file "
                                   "is kept as %3.")
                        .arg(TSettingsStore::Unreadable(m_store.userFile(), user),
                             m_store.SettingsInstead(), moved.Path);
    }
    if (const TRootState machine = m_store.MachineState(); machine.Kind == TRootKind::Broken)
        said << QStringLiteral("The administrator's settings file %1; Quarlow does without it.")
                    .arg(TSettingsStore::Unreadable(m_store.machineFile(), machine));
    if (!said.isEmpty())
        m_view.showMessage(said.join(QStringLiteral("\n\n")));
}

// The first activation loads the option sets, finds the tools, starts the update check and
// captures LAME's help; later ones change nothing. Files dropped meanwhile are converted then,
// unless a close request came: that ends the activation after the step it came in (or leaves
// it out when it came before), and then the program.
void TForm1::FormActivate()
{
    if (!m_firstActivation)
        return;
    m_firstActivation = false;
    if (!m_closeRequested) {
        const QScopedValueRollback starting(m_starting, true);
        FirstActivation();
    }
    CloseIfRequested();
    if (!m_closeRequested && !m_queue.IsEmpty() && !Busy)
        TranscodeQueue();
}

void TForm1::FirstActivation()
{
    SetAsideBrokenSettings();
    LoadLameOptions();
    const TVersionComp version;
    Window().setWindowCaption(FileDescription + u' ' + version.GetFileVersion() + u' ');
    CancelRequested = m_closeRequested;
    Busy = ErrorsMuted = false;
    SetEnabled(TMenuItem::mnuSaveTo, !IsTicked(TMenuItem::Savetosourcedirectory1));
    m_view.processEvents();
    if (m_closeRequested)
        return;
    RefreshCodecStatus();
    if (m_closeRequested)
        return;
    CheckForUpdate(version);
    Window().bringToFront(false);
    ShowStatusLines(VerifyMode);
    m_view.setLabelText(TLabel::Version, QString());
    LoadLameHelp();
}

// The fetch goes on while the window works; a close request that waited for it is carried
// out when its result has been applied.
void TForm1::CheckForUpdate(const TVersionComp& version)
{
    m_updateCheck =
        std::make_unique<TUpdateCheck>(Window(), version, WebHost(), UpdateRequestTimeoutMs);
    m_updateCheck->CheckForUpdate(Settings.Update, [this] { CloseIfRequested(); });
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

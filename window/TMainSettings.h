#pragma once

#include "TSettingsStore.h"
#include "TUpdateCheck.h"

#include <QString>
#include <optional>

// What the "Save to:" command (F2) shows and asks.
class ISaveFolderView
{
public:
    virtual ~ISaveFolderView() = default;
    // Modal: the folder the user chose, starting in startFolder; nothing when they cancelled.
    virtual std::optional<QString> askSaveFolder(const QString& title,
                                                 const QString& startFolder) = 0;
    virtual void setSaveToCaption(const QString& caption) = 0;
    // The destination label: a warning in red, or no text.
    virtual void showDestinationWarning(const QString& text) = 0;
    virtual void clearDestination() = 0;
};

// What a load did besides setting the values, for the window to show.
struct TSettingsLoad
{
    // "tindex" was read into TabIndex. When not, the window keeps its tab and DataTab
    // becomes 0.
    bool TabIndexRead = false;
    // SaveFolder was set, and the "Save to:" caption is to become SaveToCaption(). When not
    // (a "SaveDirName" of another type), both stay as they were.
    bool SaveFolderSet = false;
    // A stored save folder that cannot be used this run, and where the MP3s go instead; empty
    // when there is none. The stored one stays unless the user chooses another.
    QString SaveFolderFallback;
};

// The main window's values that live in the settings store between starts, as they are
// while the program runs. The window keeps them current (the tab, the geometry, the ticks)
// and they go to the store at exit and after the codec locator.
class TMainSettings
{
public:
    static constexpr int DefaultWidth = 470;
    static constexpr int MaxStoredWidth = 960;
    static constexpr int MaxSmem = 588;
    static constexpr int DefaultSmem = MaxSmem / 2;
    static constexpr int DefaultTop = 40;
    static constexpr int DefaultLeft = 20;
    // "jobs": how many files a run converts at once; 0 is one per core.
    static constexpr int OnePerCore = 0;
    static constexpr int MaxJobs = 64;

    // Reads every value on its own: a missing value or one of another type gives that
    // value's default and the rest are read all the same. A tool folder that was never stored
    // is the folder where PATH finds the tool; a save folder that is missing or cannot be
    // written is userFolder for this run. JSON true and false tick and untick.
    TSettingsLoad LoadSettings(const TSettingsStore& store, const QString& userFolder);
    // Once at start-up, after LoadSettings: the texts the update check needs and a usable
    // smem.
    void FixLoadedSettings();
    // Writes the values into the user root; smem as it is (a shown data panel's height is
    // the caller's to take first). A value that is still what the load made of it is written
    // as it was stored. Empty on success, else the store's reason; a failed write leaves the
    // store as it was.
    [[nodiscard]] QString SaveSettings(const TSettingsStore& store) const;

    // The F2 command. Returns true when the user chose a folder, which also unticks
    // save-to-source. A folder that is missing or cannot be written gives userFolder and a
    // red warning; with no save folder yet, the dialog starts in programFolder.
    bool ChooseSaveFolder(ISaveFolderView& view, const QString& userFolder,
                          const QString& programFolder);

    // The caption of the "Save to:" item for SaveFolder.
    QString SaveToCaption() const;

    int TabIndex = 0;
    int Width = DefaultWidth;
    // The data panel's height: the window's extra height while its tab pages are shown.
    int smem = DefaultSmem;
    // "julianday", "checkupdate", "applversnew", "progversnew" and "applversretrieved":
    // what the update check keeps between starts; DayToStore (today) is written as the day.
    TUpdateState Update;
    int Top = DefaultTop;
    int Left = DefaultLeft;
    bool VerifyOnly = false;
    QString SaveDirName;
    QString LamePath;
    QString FlacPath;
    QString ApePath;
    bool SaveToSource = false;
    // The folder the "Save to:" item shows.
    QString SaveFolder;
    // OnePerCore or 1..MaxJobs; set it with SetJobs.
    int Jobs = OnePerCore;
    // "UpdateOnly": a run converts only the sources whose MP3 is missing or older.
    bool UpdateOnly = false;

    // The user's choice of how many files a run converts at once.
    void SetJobs(int jobs);
    // Jobs as a number of jobs: OnePerCore is the number of cores.
    int JobCount() const;
    // The number of cores, at most MaxJobs.
    static int CoreCount();

private:
    // Sets SaveFolder, except for a value of another type.
    void ReadSaveDirName(const TStoredValue<QString>& stored, const QString& userFolder,
                         TSettingsLoad& load);
    // The values as they go to the store, with day as "julianday".
    TSettingsStore::TValues StoredValues(const QString& day) const;

    TValuesAsRead m_asRead;
};

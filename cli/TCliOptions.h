#pragma once

#include "TMainSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

// What quarlow-cli was asked to do. Folders end with "/"; an unset tool folder keeps the
// default. SaveTo is where the MP3s go unless SaveToSource: --save-to or the home folder.
struct TCliOptions
{
    QStringList Paths;
    QString SaveTo;
    // SaveTo is the default one: neither --save-to nor --save-to-source was given.
    bool SaveToDefault = false;
    bool SaveToSource = false;
    bool Verify = false;
    // Only sources whose MP3 is missing or older are converted.
    bool Update = false;
    QString Preset;
    QString LameDir;
    QString FlacDir;
    QString ApeDir;
    // How many files are converted at once: --jobs, else the number of cores.
    int Jobs = 1;
    bool ShowHelp = false;
    bool ShowVersion = false;
    // --list-presets: print the names --preset takes, one a line (for shell completion).
    bool ListPresets = false;
};

// Either the options or the reason the command line is wrong, in words for the user.
struct TCliParse
{
    std::optional<TCliOptions> Options;
    QString Error;
};

// The most jobs --jobs takes.
inline constexpr int MaxJobs = TMainSettings::MaxJobs;

// presetNames: the names --preset accepts. defaultSaveFolder: where the MP3s go by default
// (the window's save folder, else the home folder); empty when there is none, and then a
// destination must be given.
TCliParse ParseCliArguments(const QStringList& arguments, const QStringList& presetNames,
                            const QString& defaultSaveFolder);

// settingsFile: where the desktop program keeps the settings the defaults come from.
QString CliUsage(const QString& settingsFile);

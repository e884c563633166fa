#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What quarlow-cli was asked to do. Folders end with "/"; an unset tool folder keeps the
// default. SaveTo is where the MP3s go unless SaveToSource: --save-to or the home folder.
struct TCliOptions
{
    QStringList Paths;
    QString SaveTo;
    bool SaveToSource = false;
    bool Verify = false;
    QString Preset;
    QString LameDir;
    QString FlacDir;
    QString ApeDir;
    bool ShowHelp = false;
    bool ShowVersion = false;
};

// Either the options or the reason the command line is wrong, in words for the user.
struct TCliParse
{
    std::optional<TCliOptions> Options;
    QString Error;
};

// presetNames: the names --preset accepts. homeFolder: the user's home folder ($HOME), where
// the MP3s go by default; empty when there is none, and then a destination must be given.
TCliParse ParseCliArguments(const QStringList& arguments, const QStringList& presetNames,
                            const QString& homeFolder);

QString CliUsage();

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What quarlow-cli was asked to do. Folders end with "/"; an unset one keeps the default.
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

// presetNames: the names --preset accepts.
TCliParse ParseCliArguments(const QStringList& arguments, const QStringList& presetNames);

QString CliUsage();

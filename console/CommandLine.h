#pragma once

#include <QString>
#include <QStringList>

// Splits a command line into an argument vector. Blanks separate arguments, double quotes
// group, a doubled quote inside quotes stands for one literal quote, backslashes are
// ordinary characters. This is the inverse of QuoteArgument, so a path quoted by the
// adapters reaches the tool unchanged without any shell.
QStringList SplitCommandLine(const QString& commandLine);

// Encloses a value in double quotes and doubles every quote inside it.
QString QuoteArgument(const QString& value);

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Helpers for reading the rows a tool left on its screen.

// A decimal whole number, leading blanks allowed, nothing else: " 7" gives 7; "", "7 ",
// "x" and numbers too large for an int give nothing.
std::optional<int> ReadWholeNumber(QStringView text);

// The figure a tool writes between an opening mark and a percent sign: searching backwards
// from the character before row[percentAt] for the nearest `opener`, the text between the
// two read as a whole number. Nothing when there is no opener or the text is no number.
std::optional<int> FigureBefore(const QString& row, qsizetype percentAt, QChar opener);

// Whether the row holds any of the texts (plain, case-sensitive substrings).
bool ContainsAny(const QString& row, const QStringList& texts);

// Whether any of the rows holds any of the texts.
bool AnyRowContainsAny(const QStringList& rows, const QStringList& texts);

// The first `length` UTF-16 units of a text, one less when the cut would split a surrogate
// pair, so a cut never leaves half a character.
QString CutText(const QString& text, qsizetype length);

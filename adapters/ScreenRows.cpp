#include "ScreenRows.h"

#include <algorithm>

std::optional<int> ReadWholeNumber(QStringView text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == u' ')
        ++start;
    const QStringView digits = text.mid(start);
    const bool allDigits =
        std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (digits.isEmpty() || !allDigits)
        return std::nullopt;
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<int> FigureBefore(const QString& row, qsizetype percentAt, QChar opener)
{
    if (percentAt <= 0)
        return std::nullopt;
    const qsizetype openAt = row.lastIndexOf(opener, percentAt - 1);
    if (openAt < 0)
        return std::nullopt;
    return ReadWholeNumber(QStringView(row).mid(openAt + 1, percentAt - openAt - 1));
}

bool ContainsAny(const QString& row, const QStringList& texts)
{
    return std::any_of(texts.begin(), texts.end(),
                       [&row](const QString& text) { return row.contains(text); });
}

bool AnyRowContainsAny(const QStringList& rows, const QStringList& texts)
{
    return std::any_of(rows.begin(), rows.end(),
                       [&texts](const QString& row) { return ContainsAny(row, texts); });
}

QString CutText(const QString& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    if (length > 0 && text.at(length - 1).isHighSurrogate() && text.at(length).isLowSurrogate())
        --length;
    return text.left(length);
}

#include "CommandLine.h"

QStringList SplitCommandLine(const QString& commandLine)
{
    QStringList args;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype n = commandLine.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = commandLine.at(i);
        if (c == u'"') {
            inArgument = true;
            if (quoted && i + 1 < n && commandLine.at(i + 1) == u'"') {
                current += u'"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inArgument)
                args << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        args << current;
    return args;
}

QString QuoteArgument(const QString& value)
{
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

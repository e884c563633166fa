// For now the program shows what the console runner sees: it runs one tool on its own
// terminal and prints the final screen, row by row.
#include "TCons.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString commandLine = args.isEmpty() ? QStringLiteral("lame") : args.join(u' ');
    TCons cons;
    QTextStream out(stdout);
    if (!cons.Execute(QStringLiteral("demo"), commandLine, false, QStringLiteral("0"))) {
        QTextStream(stderr) << "cannot start: " << cons.startError() << Qt::endl;
        return 1;
    }
    for (const QString& line : cons.Lines)
        out << line << u'\n';
    return 0;
}

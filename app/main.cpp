// quarlow: the desktop program. Files and folders dropped on its window are converted; files
// given on the command line ("Open with" in a file manager) are one drop. A second start
// hands its files to the running one, which comes to the front, and ends.
#include "LocalNames.h"
#include "PathText.h"
#include "TActivationChannel.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TMainWindow.h"
#include "TRunRecord.h"
#include "TSettingsStore.h"
#include "TStopSignals.h"

#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

// HOME itself: QDir::homePath() reads "/" when it is unset, and the MP3s must never go there.
QString UserFolder()
{
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QString() : PathFromBytes(home) + u'/';
}

// The arguments with their own bytes, made absolute: the running instance may stand in
// another folder.
QStringList GivenPaths(int argc, char* argv[])
{
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths << AbsoluteCleanPath(PathFromBytes(argv[i]));
    return paths;
}

// A drop that comes from outside the event loop is taken from it, as a drop on the window is.
void DropLater(TForm1& form, const QStringList& paths)
{
    if (!paths.isEmpty())
        QTimer::singleShot(0, [&form, paths] { form.AppMessage(paths); });
}

QString Usage()
{
    return QStringLiteral(
               "Usage: quarlow [FILE|FOLDER]...\n"
               "Opens Quarlow's window, which converts FLAC, APE and WAV files dropped on it to\n"
               "MP3. The files and folders given are one drop; when Quarlow runs already, they\n"
               "are handed to it and this start ends. Without a display it says so and exits\n"
               "with status 1: use quarlow-cli on a terminal then.\n"
               "\n"
               "Options:\n"
               "  --help     show this text\n"
               "  --version  show the version\n"
               "\n"
               "The settings are kept in %1.\n")
        .arg(TSettingsStore::ForThisUser().userFile());
}

// "quarlow --help" and "quarlow --version" alone answer on the terminal, display or not. A
// file manager gives absolute paths, so no file it passes reads so.
bool Answered(int argc, char* argv[])
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0)
        std::printf("%s", qPrintable(Usage()));
    else if (std::strcmp(argv[1], "--version") == 0)
        std::printf("quarlow %s\n", QUARLOW_VERSION);
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (Answered(argc, argv))
        return 0;
    // Without a display Qt would abort with a message about platform plugins.
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "quarlow: no display to show the window on (use quarlow-cli on a terminal)\n");
        return 1;
    }
    TApplication app(argc, argv);
    // A stop signal is a close request from here on, before another start can find this one:
    // it reaches the window from the event loop, which runs only once the window is there.
    TMainWindow* stopped = nullptr;
    const TStopSignals stopSignals([&stopped] {
        if (stopped)
            stopped->closeFromOutside();
    });
    const QStringList given = GivenPaths(argc, argv);
    TActivationChannel channel;
    if (channel.start(given).State == TChannelState::HandedOver)
        return 0;
    TMainWindow window;
    stopped = &window;
    TForm1 form(window, TSettingsStore::ForThisUser());
    window.attach(form);
    channel.setHandler([&form](const TActivation& activation) {
        if (form.MainWindowHook(activation.Text))
            DropLater(form, activation.Paths);
    });
    form.UserFolder = UserFolder();
    form.ProgramFolder = QCoreApplication::applicationDirPath() + u'/';
    form.RunRecordsFolder = TRunRecord::Folder();
    form.FormCreate();
    window.applySettings();
    window.show();
    // The first activation probes the tools, which pumps events: from the running loop.
    QTimer::singleShot(0, &window, [&form, given] {
        form.FormActivate();
        DropLater(form, given);
    });
    return app.exec();
}

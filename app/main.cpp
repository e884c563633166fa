// quarlow: the desktop program. Files and folders dropped on its window are converted.
#include "LocalNames.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TMainWindow.h"

#include <QTimer>
#include <cstdio>

namespace {

// HOME itself: QDir::homePath() reads "/" when it is unset, and the MP3s must never go there.
QString UserFolder()
{
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QString() : PathFromBytes(home) + u'/';
}

} // namespace

int main(int argc, char* argv[])
{
    // Without a display Qt would abort with a message about platform plugins.
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "quarlow: no display to show the window on (use quarlow-cli on a terminal)\n");
        return 1;
    }
    TApplication app(argc, argv);
    TMainWindow window;
    TForm1 form(window, TSettingsStore::ForThisUser());
    window.attach(form);
    form.UserFolder = UserFolder();
    form.ProgramFolder = QCoreApplication::applicationDirPath() + u'/';
    form.FormCreate();
    window.show();
    // The first activation probes the tools, which pumps events: from the running loop.
    QTimer::singleShot(0, &window, [&form] { form.FormActivate(); });
    return app.exec();
}

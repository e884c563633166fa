// quarlow-cli: the transcoding core without a window. The paths given are one drop on the
// main window's logic; the run ends when the queue is empty.
#include "FileSystem.h"
#include "LocalNames.h"
#include "TCliOptions.h"
#include "TConsoleView.h"
#include "TForm1.h"
#include "TRunRecord.h"
#include "ToolNames.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <functional>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

// The first signal names the stop; a closed output may add more while the run ends.
void OnStopSignal(int signal)
{
    if (g_stopSignal == 0)
        g_stopSignal = signal;
}

// Ctrl+C, Ctrl+\ (SIGQUIT) and SIGTERM are the Cancel command. The tools run in sessions
// of their own, so the terminal's signals reach only us, and we stop them through the
// runner. A closed terminal (SIGHUP) or a reader that went away ("| head", SIGPIPE) would
// otherwise kill us in the middle of a job, leaving its intermediate file and half an MP3:
// they cancel too.
void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT})
        sigaction(signal, &action, nullptr);
}

// A stop signal reaches the logic at the next pump: during a run it is the Cancel command;
// before one (the version probes of FindCodecs) it is a close request, which stops the probe.
// Each is given once: a second Cancel would withdraw the first.
std::function<void()> StopOnSignal(TForm1& form)
{
    return [&form, closeRequested = false]() mutable {
        if (g_stopSignal == 0)
            return;
        if (form.Busy) {
            if (!form.IsTicked(TMenuItem::Stopcurrentprocesses1))
                form.Stopcurrentprocesses1Click();
        } else if (!closeRequested) {
            closeRequested = true;
            form.FormCloseQuery();
        }
    };
}

// The arguments with their own bytes: QCoreApplication::arguments() would turn a file name
// that is not valid UTF-8 into one that names no file.
QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << PathFromBytes(argv[i]);
    return arguments;
}

// The folders the window stored (a tool folder never stored: where PATH finds the tool),
// and its option set ("APS" on a first start); the options override these for this run only.
void Configure(TForm1& form, TConsoleView& view, const TCliOptions& o)
{
    const TMainSettings& stored = form.Settings;
    form.SaveDirName = o.SaveTo;
    form.LamePath = o.LameDir.isEmpty() ? stored.LamePath : o.LameDir;
    form.FlacPath = o.FlacDir.isEmpty() ? stored.FlacPath : o.FlacDir;
    form.ApePath = o.ApeDir.isEmpty() ? stored.ApePath : o.ApeDir;
    form.SetTicked(TMenuItem::Savetosourcedirectory1, o.SaveToSource);
    form.SetTicked(TMenuItem::Verifyonly1, o.Verify);
    form.SetTicked(TMenuItem::mnuUpdateOnly, o.Update);
    form.VerifyMode = o.Verify;
    form.SetParallelJobs(o.Jobs, &view);
    if (!o.Preset.isNull())
        form.SelectChosenPreset(o.Preset);
    form.FindCodecs();
}

// The summary line holds the count only when there are counted entries; otherwise it still
// names the LAME setting.
void PrintErrors(const TConsoleView& view, const TForm1& form)
{
    for (const QString& line : view.errors())
        std::printf("%s\n", qPrintable(TConsoleView::Printable(line)));
    if (form.ErrorCount != 0)
        std::printf("%s\n", qPrintable(view.summary()));
}

// The window's accept rules skip what no tool can take without a word; a command that
// converted nothing at all says so as the window does, and which option gives a missing
// decoder's folder.
QString NothingToConvert(const TForm1& form)
{
    const TIntakeRules rules = form.IntakeRules();
    QString text = QStringLiteral("nothing to convert: ") + form.LastDrop().Reason(rules);
    QStringList options;
    for (const QString& tool : form.LastDrop().MissingDecoders(rules))
        options << (tool == FlacTool ? QStringLiteral("--flac-dir") : QStringLiteral("--ape-dir"));
    if (!options.isEmpty())
        text +=
            QStringLiteral(" (give the folder with %1)").arg(options.join(QStringLiteral(", ")));
    return text;
}

// The store is only read: each file that cannot be read is named with its problem, and the
// run goes on without it.
void ReportBrokenSettings(TConsoleView& view, const TSettingsStore& store)
{
    if (const TRootState user = store.UserState(); user.Kind == TRootKind::Broken)
        view.showMessage(
            TConsoleView::Printable(TSettingsStore::Unreadable(store.userFile(), user) +
                                    QStringLiteral("; going on with ") + store.SettingsInstead()));
    if (const TRootState machine = store.MachineState(); machine.Kind == TRootKind::Broken)
        view.showMessage(
            TConsoleView::Printable(TSettingsStore::Unreadable(store.machineFile(), machine) +
                                    QStringLiteral("; going on without it")));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    TConsoleView view(stdout);
    // The window's settings, read and never written.
    const TSettingsStore store = TSettingsStore::ForThisUser(TSettingsStore::TAccess::ReadOnly);
    TForm1 form(view, store);
    // HOME itself: QDir::homePath() reads "/" when it is unset, and the MP3s must never go there.
    const QByteArray home = qgetenv("HOME");
    form.UserFolder = home.isEmpty() ? QString() : PathFromBytes(home) + u'/';
    const TSettingsLoad load = form.Settings.LoadSettings(store, form.UserFolder);
    form.LoadLameOptions();
    const TCliParse parsed =
        ParseCliArguments(Arguments(argc, argv), form.PresetNames(), form.Settings.SaveDirName);
    if (!parsed.Options) {
        std::fprintf(stderr, "quarlow-cli: %s\nTry 'quarlow-cli --help'.\n",
                     qPrintable(parsed.Error));
        return 2;
    }
    const TCliOptions& options = *parsed.Options;
    if (options.ShowHelp || options.ShowVersion) {
        std::printf("%s", qPrintable(options.ShowHelp ? CliUsage(store.userFile())
                                                      : QStringLiteral("quarlow-cli %1\n")
                                                            .arg(QStringLiteral(QUARLOW_VERSION))));
        return 0;
    }
    if (options.ListPresets) {
        for (const QString& name : form.PresetNames())
            std::printf("%s\n", qPrintable(TConsoleView::Printable(name)));
        return 0;
    }
    ReportBrokenSettings(view, store);
    // Only where the MP3s would have gone to the stored folder.
    if (options.SaveToDefault && !options.Verify && !load.SaveFolderFallback.isEmpty())
        view.showMessage(TConsoleView::Printable(load.SaveFolderFallback));
    // Before the version probes: a Ctrl+C during one must stop it, not kill us and leave the
    // probed tool running.
    CatchStopSignals();
    view.OnProcessEvents = StopOnSignal(form);
    form.RunRecordsFolder = TRunRecord::Folder();
    form.OnRecordProblem = [&view](const QString& text) {
        view.showMessage(TConsoleView::Printable(text));
    };
    Configure(form, view, options);
    if (g_stopSignal != 0)
        return 128 + g_stopSignal;
    // Every job ends in an encode unless verifying: without lame, decoding would be in vain.
    if (!form.LameFound && !options.Verify) {
        std::fprintf(stderr, "quarlow-cli: %s not found (give its folder with --lame-dir)\n",
                     qPrintable(LameTool));
        return 2;
    }
    form.AppMessage(options.Paths);
    if (!form.LastRunLine.isEmpty())
        std::printf("%s\n", qPrintable(form.LastRunLine));
    // The error list first: it may say why nothing was taken (a folder that cannot be read).
    PrintErrors(view, form);
    if (form.LastDrop().Queued() == 0) {
        std::fprintf(stderr, "quarlow-cli: %s\n", qPrintable(NothingToConvert(form)));
        return 1;
    }
    // Last, so that a script finds it in one place.
    if (!form.RunRecordPath.isEmpty())
        std::printf("run record: %s\n", qPrintable(TConsoleView::Printable(form.RunRecordPath)));
    if (g_stopSignal != 0)
        return 128 + g_stopSignal;
    // A job that could not run at all leaves an uncounted line; it is a failure all the same.
    return view.errors().isEmpty() ? 0 : 1;
}

#include "TCliOptions.h"

#include "FileSystem.h"
#include "LocalNames.h"
#include "PathText.h"

namespace {

QString AsFolder(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// The option's value: "--opt=value" or the next argument.
std::optional<QString> TakeValue(const QStringList& args, qsizetype& i, const QString& inlineValue,
                                 bool hasInline)
{
    if (hasInline)
        return inlineValue;
    if (i + 1 >= args.size())
        return std::nullopt;
    return args.at(++i);
}

QString CheckFolder(const QString& option, const QString& folder)
{
    if (PathKind(folder) == TPathKind::Folder)
        return {};
    return QStringLiteral("%1: no such folder: %2").arg(option, DisplayPath(folder));
}

QString Check(const TCliOptions& o, const QStringList& presetNames,
              const QString& defaultSaveFolder)
{
    if (o.ShowHelp || o.ShowVersion || o.ListPresets)
        return {};
    if (o.Paths.isEmpty())
        return QStringLiteral("no file or folder to convert");
    if (!o.SaveTo.isEmpty() && o.SaveToSource)
        return QStringLiteral("--save-to and --save-to-source exclude each other");
    // Without a home folder the default would be "/" or the current folder: never guess.
    if (o.SaveTo.isEmpty() && !o.SaveToSource && defaultSaveFolder.isEmpty())
        return QStringLiteral("no home folder to save into (HOME is not set); give --save-to DIR "
                              "or --save-to-source");
    if (!o.Preset.isNull() && !presetNames.contains(o.Preset))
        return QStringLiteral("--preset: unknown option set \"%1\" (known: %2)")
            .arg(o.Preset, presetNames.join(QStringLiteral(", ")));
    if (!o.SaveTo.isEmpty() && PathKind(o.SaveTo) != TPathKind::Missing &&
        PathKind(o.SaveTo) != TPathKind::Folder)
        return QStringLiteral("--save-to: not a folder: %1").arg(DisplayPath(o.SaveTo));
    for (const auto& [option, folder] :
         {std::pair{"--lame-dir", o.LameDir}, std::pair{"--flac-dir", o.FlacDir},
          std::pair{"--ape-dir", o.ApeDir}}) {
        if (!folder.isEmpty()) {
            if (const QString error = CheckFolder(option, folder); !error.isEmpty())
                return error;
        }
    }
    for (const QString& path : o.Paths) {
        if (PathKind(path) == TPathKind::Missing)
            return QStringLiteral("no such file or folder: %1").arg(DisplayPath(path));
    }
    return {};
}

// --jobs: a whole number from 1 to MaxJobs; without it, one job per core.
std::optional<int> JobsFrom(const QString& text)
{
    if (text.isNull())
        return TMainSettings::CoreCount();
    bool ok = false;
    const int jobs = text.toInt(&ok);
    if (!ok || jobs < 1 || jobs > MaxJobs || text != QString::number(jobs))
        return std::nullopt;
    return jobs;
}

template <typename T, size_t N>
T* Find(const std::pair<const char*, T*> (&table)[N], const QString& name)
{
    for (const auto& [key, target] : table) {
        if (name == QLatin1String(key))
            return target;
    }
    return nullptr;
}

} // namespace

TCliParse ParseCliArguments(const QStringList& arguments, const QStringList& presetNames,
                            const QString& defaultSaveFolder)
{
    TCliOptions o;
    QString jobs;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(u'-') || arg == QStringLiteral("-")) {
            o.Paths << arg;
            continue;
        }
        if (arg == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = eq < 0 ? arg : arg.left(eq);
        const QString inlineValue = eq < 0 ? QString() : arg.mid(eq + 1);
        const std::pair<const char*, bool*> flags[] = {{"--save-to-source", &o.SaveToSource},
                                                       {"--verify", &o.Verify},
                                                       {"--update", &o.Update},
                                                       {"--help", &o.ShowHelp},
                                                       {"-h", &o.ShowHelp},
                                                       {"--version", &o.ShowVersion},
                                                       {"--list-presets", &o.ListPresets}};
        const std::pair<const char*, QString*> values[] = {
            {"--save-to", &o.SaveTo},   {"--preset", &o.Preset},  {"--lame-dir", &o.LameDir},
            {"--flac-dir", &o.FlacDir}, {"--ape-dir", &o.ApeDir}, {"--jobs", &jobs}};
        if (bool* flag = Find(flags, name)) {
            if (eq >= 0)
                return {std::nullopt, QStringLiteral("%1 takes no value").arg(name)};
            *flag = true;
            continue;
        }
        QString* value = Find(values, name);
        if (!value)
            return {std::nullopt, QStringLiteral("unknown option %1").arg(name)};
        const std::optional<QString> taken = TakeValue(arguments, i, inlineValue, eq >= 0);
        if (!taken || taken->isEmpty())
            return {std::nullopt, QStringLiteral("%1 needs a value").arg(name)};
        *value = *taken;
    }
    const std::optional<int> jobCount = JobsFrom(jobs);
    if (!jobCount)
        return {
            std::nullopt,
            QStringLiteral("--jobs: not a whole number from 1 to %1: %2").arg(MaxJobs).arg(jobs)};
    o.Jobs = *jobCount;
    if (const QString error = Check(o, presetNames, defaultSaveFolder); !error.isEmpty())
        return {std::nullopt, error};
    o.SaveToDefault = o.SaveTo.isEmpty() && !o.SaveToSource;
    if (o.SaveToDefault)
        o.SaveTo = defaultSaveFolder;
    for (QString* folder : {&o.SaveTo, &o.LameDir, &o.FlacDir, &o.ApeDir}) {
        if (!folder->isEmpty())
            *folder = AsFolder(AbsoluteCleanPath(*folder));
    }
    return {o, {}};
}

QString CliUsage(const QString& settingsFile)
{
    return QStringLiteral(
               "Usage: quarlow-cli [options] PATH...\n"
               "Converts FLAC, APE and WAV files to MP3, as if PATH... were dropped on Quarlow's\n"
               "window: folders are searched, and the MP3s mirror the dropped folder's structure.\n"
               "\n"
               "Options:\n"
               "  --save-to DIR       put the MP3s below DIR (default: the window's save folder,\n"
               "                      else your home folder)\n"
               "  --save-to-source    put each MP3 beside its source\n"
               "  --verify            only decode the sources and report errors; write no MP3\n"
               "  --update            convert only what is new or changed: a source whose MP3\n"
               "                      is there and not older than it is counted as up to date\n"
               "  --preset NAME       LAME option set: \"128 kb cbr\", \"192 kb vbr\", \"APS\",\n"
               "                      \"APX\", \"Insane\", or the name of a custom set (default:\n"
               "                      the window's choice, \"APS\" on a first start)\n"
               "  --lame-dir DIR      folder of lame for this run (default: the window's, else\n"
               "                      where PATH finds it; likewise the next two)\n"
               "  --flac-dir DIR      folder of flac and metaflac for this run\n"
               "  --ape-dir DIR       folder of mac for this run\n"
               "  --jobs N            convert N files at once (default: one per core); 1\n"
               "                      converts one file after the other\n"
               "  --list-presets      print the names --preset takes, one a line\n"
               "  --help              show this text\n"
               "  --version           show the version\n"
               "\n"
               "Exit status: 0 when no error entry was written, 1 when some were or nothing could\n"
               "be converted, 2 for a usage error or when lame is missing (unless verifying).\n"
               "Ctrl+C stops the running tools; finished MP3s stay.\n"
               "\n"
               "Every run that takes a file leaves a record (its settings, each source's result,\n"
               "the error list) in $XDG_STATE_HOME/quarlow/runs/ (default\n"
               "~/.local/state/quarlow/runs/; the newest 50 are kept); the last line names it.\n"
               "\n"
               "The defaults come from the desktop program's settings, %1, which this\n"
               "program reads and never changes.\n")
        .arg(settingsFile);
}

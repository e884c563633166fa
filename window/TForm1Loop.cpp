// TForm1: the transcoding loop. One job per queue entry: read the tags, decode to an
// intermediate WAV file, encode that to MP3, record what failed, remove the intermediate file.
#include "FileSystem.h"
#include "PathText.h"
#include "RiffWave.h"
#include "TApe.h"
#include "TFlac.h"
#include "TForm1.h"
#include "TWav.h"

#include <QDir>
#include <utility>

namespace {

// Progress bar colours per stage, as 0x00BBGGRR.
const QString FlacGaugeColor = QStringLiteral("0x006060FF");
const QString ApeGaugeColor = QStringLiteral("0x00506580");
const QString LameGaugeColor = QStringLiteral("0x00FF6060");

const QString LameTagDone = QStringLiteral("Writing LAME Tag...done");
const QString JobFailedText = QStringLiteral(": cannot create intermediate wav file");
// LAME writes to a hidden file of this name in the destination folder; only a whole MP3 is
// then put in the place of the final name.
const QString PartFilePrefix = QStringLiteral(".~TT");
const QString Mp3Extension = QStringLiteral(".mp3");
// The folder of a run's intermediate files, in the temporary folder.
const QString RunFolderPrefix = QStringLiteral("quarlow-");

// flac ends a good decode with "NAME: done"; mac with "Success..." in older versions and a
// row that reads just "Success" in current ones.
bool DecoderReportedSuccess(const QStringList& rows)
{
    for (const QString& row : rows) {
        if (row.contains(u"Success...") || row.contains(u": done") || row.trimmed() == u"Success")
            return true;
    }
    return false;
}

QString StageNameOf(TSourceKind kind)
{
    switch (kind) {
    case TSourceKind::Flac:
        return QStringLiteral("Flac");
    case TSourceKind::Ape:
        return QStringLiteral("Ape");
    case TSourceKind::Wav:
        break;
    }
    return QStringLiteral("Wav");
}

} // namespace

std::optional<TSourceKind> SourceKindOf(const QString& path)
{
    const QString extension = LowerExtension(path);
    if (extension == u".flac")
        return TSourceKind::Flac;
    if (extension == u".ape")
        return TSourceKind::Ape;
    if (extension == u".wav")
        return TSourceKind::Wav;
    return std::nullopt;
}

std::unique_ptr<TAudio> CreateCodecAdapter(TSourceKind kind)
{
    switch (kind) {
    case TSourceKind::Flac:
        return std::make_unique<TFlac>();
    case TSourceKind::Ape:
        return std::make_unique<TApe>();
    case TSourceKind::Wav:
        break;
    }
    return std::make_unique<TWav>();
}

void TForm1::TranscodeQueue()
{
    StartRun();
    while (!m_queue.IsEmpty() && RunIteration()) {
    }
    EndRun();
}

void TForm1::StartRun()
{
    Busy = true;
    SetEnabled(TMenuItem::Exit1, false);
    m_view.setHintEnabled(false);
    SetEnabled(TMenuItem::LameHelpShow1, false);
    m_view.clearErrors();
    m_view.showTags({});
    ShowStatusLines(VerifyMode);
    ErrorCount = 0;
    m_madeThisRun.clear();
    // What the drop that starts the run could not read belongs to this run's list.
    for (const QString& problem : std::exchange(m_intakeProblems, {}))
        AddCountedLine(problem);
}

// False when the loop is to end at once (an entry of a kind no adapter serves).
bool TForm1::RunIteration()
{
    // Between jobs the user's commands run: Cancel, further drops, the window's commands.
    m_view.processEvents();
    m_decoderVersion.clear();
    SetEnabled(TMenuItem::mnuSaveTo, false);
    SetEnabled(TMenuItem::Savetosourcedirectory1, false);
    SetOptionCommandsEnabled(false);
    if (CancelRequested)
        AbortQueue();
    else if (!RunFirstEntry())
        return false;
    if (VerifyMode && ErrorCount != 0)
        ShowErrorSummary();
    return true;
}

bool TForm1::RunFirstEntry()
{
    SourceFile = m_queue.First().Path;
    const QString baseFolder = m_queue.First().BaseFolder;
    const std::optional<TSourceKind> kind = SourceKindOf(SourceFile);
    if (!kind) {
        m_view.showMessage(QStringLiteral("error in extension"));
        return false;
    }
    RunJob(*kind, baseFolder);
    if (!m_queue.IsEmpty()) {
        m_queue.RemoveFirst();
        m_view.removeFirstQueueEntry();
    }
    return true;
}

void TForm1::RunJob(TSourceKind kind, const QString& baseFolder)
{
    // Whatever goes wrong inside a job is recorded and the next job runs; the clean-up below
    // always runs, so no intermediate or partial file outlives its job.
    try {
        if (CreateAdapter(kind)) {
            if (PrepareJob(kind, baseFolder))
                DecodeAndEncode();
        } else {
            m_view.appendError(SourceFile + JobFailedText);
        }
    } catch (...) {
        m_view.appendError(SourceFile + JobFailedText);
    }
    SetEnabled(TMenuItem::Checkcodecpaths1, true);
    CleanUpJob();
}

// False when the job cannot run: no adapter, or no intermediate file could be created.
bool TForm1::CreateAdapter(TSourceKind kind)
{
    Audio.reset();
    WavFile.clear();
    m_hadDecodeStep = false;
    switch (kind) {
    case TSourceKind::Flac:
        CreateFlacAdapter();
        break;
    case TSourceKind::Ape:
        CreateApeAdapter();
        break;
    case TSourceKind::Wav:
        CreateWavAdapter();
        break;
    }
    return Audio && (!m_hadDecodeStep || PathKind(WavFile) == TPathKind::File);
}

void TForm1::CreateFlacAdapter()
{
    CreateDecoderAdapter(TSourceKind::Flac, FlacGaugeColor, FlacVersionText, FlacPath);
}

void TForm1::CreateApeAdapter()
{
    CreateDecoderAdapter(TSourceKind::Ape, ApeGaugeColor, ApeVersionText, ApePath);
}

void TForm1::CreateDecoderAdapter(TSourceKind kind, const QString& gaugeColor,
                                  const QString& version, const QString& folder)
{
    m_view.setProgress(0);
    m_view.setProgressColor(ColorFromText(gaugeColor));
    Audio = MakeAdapter(kind);
    if (!Audio)
        return;
    m_hadDecodeStep = true;
    // The intermediate files live in a folder of the run's own that no one else can enter,
    // so nothing planted in the shared temporary folder can redirect a decoder's write.
    if (m_runFolder.isEmpty())
        m_runFolder = CreatePrivateFolder(QDir::tempPath(), RunFolderPrefix).Path;
    Audio->TempFolder = m_runFolder;
    if (!m_runFolder.isEmpty())
        WavFile = Audio->MakeTempWavName();
    m_decoderVersion = version;
    Audio->SetDecoderFolder(folder);
}

void TForm1::CreateWavAdapter()
{
    m_view.setProgress(0);
    Audio = MakeAdapter(TSourceKind::Wav);
    WavFile = SourceFile;
}

bool TForm1::PrepareJob(TSourceKind kind, const QString& baseFolder)
{
    Audio->LameOptions = CheckedPresetOptions();
    Audio->SourceFile = SourceFile;
    ShowStatusLines(VerifyMode);
    DestFile = ChangeExtension(SourceFile, QStringLiteral(".mp3"));
    ShowDestination();
    m_view.repaint();
    StageName = StageNameOf(kind);
    NoDecodeStep = !m_hadDecodeStep;
    m_view.setLabelText(TLabel::Version, NoDecodeStep ? QStringLiteral("WAV to MP3")
                                                      : StageName + QStringLiteral(" version : ") +
                                                            m_decoderVersion);
    Audio->OnProgress = [this](TAudio* sender) { ProgressChanged(sender); };
    Audio->ReadTags(SourceFile);
    const QString folder = PlaceDestination(baseFolder);
    ShowTagList();
    if (IsTicked(TMenuItem::Verifyonly1))
        return true;
    // Two sources of one name (song.flac, song.FLAC, song.wav) would make one MP3, and the
    // later would silently replace the earlier.
    const auto made = m_madeThisRun.constFind(DestFile);
    if (made != m_madeThisRun.cend()) {
        AddErrorEntry({QStringLiteral("%1 was made from %2 in this run, so this file was not "
                                      "converted")
                           .arg(DestFile, *made)});
        return false;
    }
    ForceFolders(folder);
    return true;
}

// Sets DestFile to where the MP3 goes and returns the folder that must exist for it. Below
// the save folder the path rebuilds the dropped item: the part of the source path after the
// base folder.
QString TForm1::PlaceDestination(const QString& baseFolder)
{
    const QString relative =
        DestFile.mid(baseFolder.size() + (baseFolder.endsWith(PathSeparator) ? 0 : 1));
    if (IsTicked(TMenuItem::Savetosourcedirectory1)) {
        const QString folder = FolderPart(SourceFile) + PathSeparator;
        DestFile = folder + FileNamePart(relative);
        return folder;
    }
    DestFile = SaveDirName + relative;
    return FolderPart(DestFile);
}

void TForm1::DecodeAndEncode()
{
    SetEnabled(TMenuItem::Checkcodecpaths1, false);
    if (Audio->ConvertToWav(SourceFile, WavFile))
        JudgeDecodeAndEncode();
    else
        AddErrorEntry(); // the decoder could not start; ToolOutput says why
}

void TForm1::JudgeDecodeAndEncode()
{
    m_view.setProgress(0);
    m_view.setProgressColor(ColorFromText(LameGaugeColor));
    StageName = QStringLiteral("Lame");
    Audio->OnEncodeProgress = [this](TAudio* sender) { ProgressChanged(sender); };
    ShowStatusLines(VerifyMode);
    if (NoDecodeStep) {
        const QString problem = RiffWaveProblem(WavFile);
        if (!problem.isEmpty()) {
            AddErrorEntry({problem});
            return;
        }
    } else if (!DecodeSucceeded()) {
        // A decoder that stopped half-way may leave a partial WAV: it is not encoded.
        AddErrorEntry();
        return;
    }
    if (!CancelRequested && !IsTicked(TMenuItem::Verifyonly1))
        EncodeJob();
}

bool TForm1::DecodeSucceeded() const
{
    return Audio->Cons.endedCleanly() && FileExists(WavFile) &&
           DecoderReportedSuccess(Audio->ToolOutput);
}

// LAME writes a hidden file beside the MP3; only a whole encode takes the MP3's name, in one
// step. Whatever else happens, an MP3 made earlier stays as it was.
void TForm1::EncodeJob()
{
    SetCustomSettingsEnabled(false);
    Audio->SetLameFolder(LamePath);
    const TMade part = CreateUniqueFile(FolderPart(DestFile), PartFilePrefix, Mp3Extension);
    m_partFile = part.Path;
    if (m_partFile.isEmpty()) {
        AddErrorEntry(
            {QStringLiteral("cannot write into %1: %2").arg(FolderPart(DestFile), part.Error)});
    } else {
        Audio->Encode(WavFile, m_partFile);
        PutMp3InPlace();
    }
    SetCustomSettingsEnabled(true);
}

// A whole encode: LAME wrote its tag row (or reached 100%), showed progress and ended on its
// own with status 0, and its file is there.
void TForm1::PutMp3InPlace()
{
    // LAME writes no tag row when its frames are too small to hold the tag (32 kbit/s at
    // 16 kHz); its progress row at 100% then tells the end.
    const bool finished = Audio->ToolOutput.contains(LameTagDone) || Audio->Progress == 100;
    if (!Audio->Cons.endedCleanly() || !finished || !FileExists(m_partFile)) {
        AddErrorEntry();
        return;
    }
    if (!Audio->ProgressSeen) {
        AddErrorEntry(
            Audio->ToolOutput +
            QStringList{QStringLiteral("LAME showed no progress, so its MP3 was discarded")});
        return;
    }
    const QString problem = ReplaceFile(m_partFile, DestFile);
    if (!problem.isEmpty()) {
        AddErrorEntry({QStringLiteral("cannot save %1: %2").arg(DestFile, problem)});
        return;
    }
    m_partFile.clear();
    m_madeThisRun.insert(DestFile, SourceFile);
}

void TForm1::CleanUpJob()
{
    if (m_hadDecodeStep && !WavFile.isEmpty()) {
        ClearReadOnly(WavFile);
        RemoveFile(WavFile);
    }
    // An encode that failed or was cut short leaves nothing behind.
    RemoveFile(std::exchange(m_partFile, {}));
    Audio.reset();
}

// The intermediate file and the partial MP3 of the job that a Cancel cut short were removed
// when that job ended; what remains to do is to drop the waiting entries.
void TForm1::AbortQueue()
{
    m_queue.Clear();
    m_view.clearQueue();
}

void TForm1::EndRun()
{
    if (ErrorCount != 0)
        ShowErrorSummary();
    SetEnabled(TMenuItem::mnuSaveTo, !IsTicked(TMenuItem::Savetosourcedirectory1));
    SetEnabled(TMenuItem::Savetosourcedirectory1, true);
    SetOptionCommandsEnabled(true);
    SetEnabled(TMenuItem::Exit1, true);
    m_view.setProgress(0);
    m_view.setLabelText(TLabel::Version, {});
    m_view.setLabelText(TLabel::Audio, {});
    m_view.setLabelText(TLabel::Destination, {});
    RemoveFolderTree(std::exchange(m_runFolder, {}));
    Busy = false;
    m_view.setHintEnabled(true);
    SetEnabled(TMenuItem::LameHelpShow1, true);
    m_view.setApplicationTitle(FileDescription);
    // A close request during the run, or "exit when done"; not after the Cancel command,
    // whose request ends with the run it stopped, so that it stops no later tool (the help
    // capture, a version probe).
    if ((CancelRequested || IsTicked(TMenuItem::Exit1)) &&
        !IsTicked(TMenuItem::Stopcurrentprocesses1))
        m_view.closeWindow();
    else if (IsTicked(TMenuItem::Stopcurrentprocesses1))
        CancelRequested = false;
    SetTicked(TMenuItem::Stopcurrentprocesses1, false);
}

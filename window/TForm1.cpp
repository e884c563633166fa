// TForm1: construction, menu state, and what the window shows of a run.
#include "TForm1.h"

#include "FileSystem.h"
#include "TAudio.h"
#include "TVersionComp.h"

#include <QScopedValueRollback>

const QString TForm1::ActivateMessage = QStringLiteral("just this Quarlow");

namespace {

constexpr int PresetCount = TLameOptionSets::SetCount;

TMenuItem PresetItem(int index)
{
    return TMenuItem(int(TMenuItem::cs1) + index);
}

} // namespace

TForm1::TForm1(IMainView& view, TSettingsStore store) : TForm1(view, &view, std::move(store)) {}

TForm1::TForm1(IRunView& view, TSettingsStore store) : TForm1(view, nullptr, std::move(store)) {}

TForm1::TForm1(IRunView& view, IWindowView* window, TSettingsStore store)
    : FileDescription(TVersionComp().GetFileDescription()), MakeAdapter(CreateCodecAdapter),
      m_view(view), m_window(window), m_store(std::move(store)), m_optionSets(m_store, window)
{
    m_enabled.fill(true);
}

TForm1::~TForm1()
{
    RemoveFolderTree(m_runFolder);
}

IWindowView& TForm1::Window() const
{
    Q_ASSERT(m_window);
    return *m_window;
}

void TForm1::SetTicked(TMenuItem item, bool ticked)
{
    m_ticked[size_t(item)] = ticked;
    if (m_window)
        m_window->setItemTicked(item, ticked);
}

void TForm1::SetEnabled(TMenuItem item, bool enabled)
{
    m_enabled[size_t(item)] = enabled;
    if (m_window)
        m_window->setItemEnabled(item, enabled);
}

bool TForm1::MainWindowHook(const QString& message)
{
    if (message != ActivateMessage)
        return false;
    Window().bringToFront(true);
    return true;
}

QString TForm1::CheckedPresetOptions() const
{
    return m_optionSets.CheckedPresetOptions();
}

void TForm1::UncheckAllPresets()
{
    m_optionSets.UncheckAllPresets();
}

void TForm1::SelectPreset(TMenuItem item)
{
    ReportStoreError(m_optionSets.SelectPreset(int(item) - int(TMenuItem::cs1)));
}

// A set without a name does not exist for the user, so the empty name chooses none.
void TForm1::SelectChosenPreset(const QString& name)
{
    for (int i = 0; i < PresetCount; ++i) {
        if (!name.isEmpty() && m_optionSets.Caption(i) == name) {
            SelectPreset(PresetItem(i));
            return;
        }
    }
    UncheckAllPresets();
}

QStringList TForm1::PresetNames() const
{
    QStringList names;
    for (int i = 0; i < PresetCount; ++i) {
        if (m_optionSets.IsVisible(i))
            names << m_optionSets.Caption(i);
    }
    return names;
}

void TForm1::LoadLameOptions()
{
    ReportStoreError(m_optionSets.LoadLameOptions());
}

void TForm1::mnuCustomSettingsClick()
{
    ReportStoreError(m_optionSets.OpenOptionsTable(Window()));
}

// Nothing the user set may be lost without a word.
void TForm1::ReportStoreError(const QString& error)
{
    if (!error.isEmpty())
        m_view.showMessage(QStringLiteral("The settings could not be saved: ") + error);
}

void TForm1::SetPresetItemsEnabled(bool enabled)
{
    for (int i = 0; i < PresetCount; ++i)
        SetEnabled(PresetItem(i), enabled);
}

void TForm1::SetCustomSettingsEnabled(bool enabled)
{
    SetEnabled(TMenuItem::mnuCustomSettings, enabled);
    SetPresetItemsEnabled(enabled);
}

void TForm1::SetOptionCommandsEnabled(bool enabled)
{
    SetEnabled(TMenuItem::standardoptions1, enabled);
    SetCustomSettingsEnabled(enabled);
}

// A terminal has no label to fit: it shows the path whole.
QString TForm1::ShortenPath(const QString& path) const
{
    if (!m_window)
        return path;
    const int width = m_window->destinationWidth();
    if (m_window->destinationTextWidth(path) <= width)
        return path;
    // Cut out the middle and widen the cut one character on each side until it fits. The
    // candidate always holds the marker, so the cutting also ends when nothing is left. A
    // cut never falls between the two halves of a character that takes two UTF-16 units.
    auto insidePair = [&path](qsizetype at) {
        return at > 0 && at < path.size() && path.at(at - 1).isHighSurrogate() &&
               path.at(at).isLowSurrogate();
    };
    const qsizetype half = path.size() / 2;
    qsizetype leftEnd = qMax<qsizetype>(half - 3, 0);
    qsizetype rightStart = qMin(half + 1, path.size());
    for (;;) {
        if (insidePair(leftEnd))
            --leftEnd;
        if (insidePair(rightStart))
            ++rightStart;
        const QString candidate =
            path.left(leftEnd) + QStringLiteral(" >>>> ") + path.mid(rightStart);
        if (m_window->destinationTextWidth(candidate) <= width ||
            (leftEnd == 0 && rightStart == path.size()))
            return candidate;
        leftEnd = qMax<qsizetype>(leftEnd - 1, 0);
        rightStart = qMin(rightStart + 1, path.size());
    }
}

void TForm1::ShowDestination()
{
    if (m_window)
        m_window->setDestinationColor(TColor{});
    m_view.setLabelText(TLabel::Destination, ShortenPath(DestFile));
}

void TForm1::ShowStatusLines(bool verify)
{
    if (verify) {
        m_view.setLabelText(TLabel::BitRate, ErrorCount != 0 ? ErrorSummary() : QString());
        m_view.setLabelText(TLabel::LameVersion, QStringLiteral("Verify"));
        return;
    }
    m_view.setLabelText(TLabel::BitRate, m_optionSets.LameSettingText());
    m_view.setLabelText(TLabel::LameVersion, QStringLiteral("Lame version : ") + LameVersionText);
}

QString TForm1::ErrorSummary() const
{
    if (ErrorCount == 1)
        return QStringLiteral("There is an error message!");
    return QStringLiteral("There are %1 error messages!").arg(ErrorCount);
}

void TForm1::ShowErrorSummary()
{
    m_view.setLabelText(TLabel::BitRate, ErrorSummary());
}

void TForm1::AddErrorEntry()
{
    AddErrorEntry(Audio ? Audio->ToolOutput : QStringList());
}

void TForm1::AddCountedLine(const QString& line)
{
    ++ErrorCount;
    m_view.appendError(line);
}

void TForm1::ReportIntakeProblem(const QString& line)
{
    if (Busy)
        AddCountedLine(line);
    else
        m_intakeProblems.append(line);
}

void TForm1::AddErrorEntry(const QStringList& rows)
{
    if (!ErrorsMuted)
        WriteEntry(SourceFile, rows);
}

void TForm1::WriteEntry(const QString& source, const QStringList& rows)
{
    ++ErrorCount;
    m_view.appendError(QStringLiteral("Message %1 - ").arg(ErrorCount) + source);
    for (const QString& row : rows)
        m_view.appendError(row);
    m_view.appendError(QString(40, u'-'));
}

void TForm1::ShowTagList()
{
    if (Audio && m_window)
        m_window->showTags(Audio->TagListLines());
}

void TForm1::ProgressChanged(TAudio* /*sender*/)
{
    if (!Audio)
        return;
    PassCancelToAdapter();
    m_view.setLabelText(TLabel::Audio, StageName + QStringLiteral(" :"));
    const int percent = Audio->Progress;
    m_view.setProgress(percent);
    if (m_window)
        m_window->setApplicationTitle(StageName + QStringLiteral(": %1%").arg(percent));
    ShowDestination();
}

// The way a Cancel reaches the running tool: the adapter hands its flag on to its runner.
// Besides every progress notification, the commands that set or withdraw a Cancel renew the
// flag at once, so a tool that shows no progress, a tag read and a version probe stop too.
void TForm1::PassCancelToAdapter()
{
    for (TAudio* adapter : {Audio.get(), m_probe}) {
        if (adapter)
            adapter->SetCancel(CancelRequested);
    }
}

void TForm1::Stopcurrentprocesses1Click()
{
    const bool ticked = !IsTicked(TMenuItem::Stopcurrentprocesses1);
    SetTicked(TMenuItem::Stopcurrentprocesses1, ticked);
    if (!Busy || !ticked) {
        // Never left ticked while idle.
        SetTicked(TMenuItem::Stopcurrentprocesses1, false);
        return;
    }
    CancelRequested = true;
    PassCancelToAdapter();
    SetEnabled(TMenuItem::mnuSaveTo, !IsTicked(TMenuItem::Savetosourcedirectory1));
    SetOptionCommandsEnabled(true);
    if (m_window)
        m_window->setHintEnabled(true);
    ErrorsMuted = true;
    if (ErrorCount != 0)
        ShowErrorSummary();
}

bool TForm1::FormCloseQuery()
{
    m_closeRequested = true;
    if (CodecLocator.IsOpen()) {
        CodecLocator.Abandon();
        return false;
    }
    if (!CloseMustWait())
        return true;
    CancelRequested = true;
    PassCancelToAdapter();
    if (m_updateCheck)
        m_updateCheck->Abort();
    return false;
}

bool TForm1::CloseMustWait() const
{
    return Busy || m_probe || m_starting || m_commands != 0 ||
           (m_updateCheck && m_updateCheck->IsRunning());
}

// Called when something that made a close request wait has ended.
void TForm1::CloseIfRequested()
{
    if (m_closeRequested && !CloseMustWait() && m_window)
        m_window->closeWindow();
}

// The window closes only after the command's boxes and dialogs have returned, so nothing the
// command does after them comes after the settings were saved.
void TForm1::RunCommand(const std::function<void()>& command)
{
    {
        const QScopedValueRollback running(m_commands, m_commands + 1);
        command();
    }
    CloseIfRequested();
}

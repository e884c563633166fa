// TForm1: which codec tools are there and which versions they have.
#include "TApe.h"
#include "TFlac.h"
#include "TForm1.h"
#include "ToolNames.h"

#include <QScopedValueRollback>

void TForm1::FindCodecs()
{
    LameFound = ToolIn(LamePath, LameTool);
    ApeFound = ToolIn(ApePath, MacTool);
    FlacFound = ToolIn(FlacPath, FlacTool);
    MetaflacFound = ToolIn(FlacPath, MetaflacTool);
    UpdateLameVersion();
    UpdateFlacVersion();
    UpdateApeVersion();
}

// Every adapter class carries the LAME operations; a FLAC adapter is taken.
void TForm1::UpdateLameVersion()
{
    LameVersionText.clear();
    if (!LameFound)
        return;
    TFlac probe;
    probe.SetLameFolder(LamePath);
    RunProbe(probe, [&] { LameVersionText = probe.GetLameVersion(); });
}

void TForm1::UpdateFlacVersion()
{
    TFlac probe;
    ProbeDecoderVersion(probe, FlacFound, FlacPath, FlacVersionText);
}

void TForm1::UpdateApeVersion()
{
    TApe probe;
    ProbeDecoderVersion(probe, ApeFound, ApePath, ApeVersionText);
}

// Asks a throw-away adapter of the decoder for its version; none when the tool is not there.
void TForm1::ProbeDecoderVersion(TAudio& probe, bool found, const QString& folder, QString& version)
{
    version.clear();
    if (!found)
        return;
    probe.SetDecoderFolder(folder);
    RunProbe(probe, [&] { version = probe.GetVersion(); });
}

// A probe runs a tool as a job does: while it runs, the commands that would start another
// tool are off, a drop only queues, and a close request reaches it as it would reach a
// job's tool.
// The commands that run a tool wait while a probe runs, then are as they were: a probe
// during a run (the codec locator's OK while LAME encodes) gives back no command the run
// had taken away.
// After a close request no tool is started any more.
void TForm1::RunProbe(TAudio& probe, const std::function<void()>& run)
{
    if (m_closeRequested)
        return;
    const QScopedValueRollback<TAudio*> running(m_probe, &probe);
    probe.Cons.Pump = [this] { m_view.processEvents(); };
    probe.SetCancel(CancelRequested);
    const bool helpEnabled = IsEnabled(TMenuItem::LameHelpShow1);
    const bool locatorEnabled = IsEnabled(TMenuItem::Checkcodecpaths1);
    SetEnabled(TMenuItem::LameHelpShow1, false);
    SetEnabled(TMenuItem::Checkcodecpaths1, false);
    run();
    SetEnabled(TMenuItem::LameHelpShow1, helpEnabled);
    SetEnabled(TMenuItem::Checkcodecpaths1, locatorEnabled);
}

// The LAME build is checked on the version actually found, and a refused one keeps its label
// red.
void TForm1::RefreshCodecStatus()
{
    FindCodecs();
    TCodecStatus status = DescribeCodecs({LameFound, ApeFound, FlacFound, MetaflacFound,
                                          LameVersionText, ApeVersionText, FlacVersionText});
    if (!AcceptLameVersion(LameVersionText))
        status.Lame.Color = NotUsableColor;
    Window().showCodecStatus(status);
    Window().repaint();
}

bool TForm1::AcceptLameVersion(const QString& version)
{
    const QString refusal = LameVersionRefusal(version);
    if (refusal.isEmpty())
        return true;
    m_view.showMessage(refusal);
    return false;
}

void TForm1::LoadLameHelp()
{
    if (!LameFound)
        return;
    TFlac probe;
    probe.SetLameFolder(LamePath);
    RunProbe(probe, [&] { probe.CaptureLameHelp(); });
    HelpText = probe.HelpLines;
}

void TForm1::LameHelpShow1Click()
{
    LoadLameHelp();
    Window().showLameHelp(QStringLiteral("Help Lame v. ") + LameVersionText, HelpText);
}

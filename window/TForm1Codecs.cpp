// TForm1: which codec tools are there and which versions they have.
#include "FileSystem.h"
#include "TApe.h"
#include "TFlac.h"
#include "TForm1.h"
#include "ToolNames.h"

namespace {

// An empty folder is never tested; any other text is, "0" included (it finds nothing).
bool ToolIn(const QString& folder, const QString& tool)
{
    return !folder.isEmpty() && FileExists(folder + tool);
}

} // namespace

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
    LameVersionText = RunProbe(probe, &TAudio::GetLameVersion);
}

void TForm1::UpdateFlacVersion()
{
    TFlac probe;
    probe.SetDecoderFolder(FlacPath);
    FlacVersionText = FlacFound ? RunProbe(probe, &TAudio::GetVersion) : QString();
}

void TForm1::UpdateApeVersion()
{
    TApe probe;
    probe.SetDecoderFolder(ApePath);
    ApeVersionText = ApeFound ? RunProbe(probe, &TAudio::GetVersion) : QString();
}

// While the probe runs, a close request reaches it as it would reach a job's tool.
QString TForm1::RunProbe(TAudio& probe, QString (TAudio::*ask)())
{
    m_probe = &probe;
    probe.SetCancel(CancelRequested);
    const QString version = (probe.*ask)();
    m_probe = nullptr;
    return version;
}

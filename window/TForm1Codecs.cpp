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

// Asks a throw-away adapter of the decoder for its version.
template <typename Adapter> QString DecoderVersion(const QString& folder)
{
    Adapter probe;
    probe.SetDecoderFolder(folder);
    return probe.GetVersion();
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
    LameVersionText = probe.GetLameVersion();
}

void TForm1::UpdateFlacVersion()
{
    FlacVersionText = FlacFound ? DecoderVersion<TFlac>(FlacPath) : QString();
}

void TForm1::UpdateApeVersion()
{
    ApeVersionText = ApeFound ? DecoderVersion<TApe>(ApePath) : QString();
}

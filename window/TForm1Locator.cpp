// TForm1: the codec locator and what the window takes over from it.
#include "TForm1.h"
#include "ToolNames.h"

#include <tuple>

namespace {

// Each row of the locator with the window's tool folder and the entry it showed last.
auto LocatorFolders(TForm1& form)
{
    return std::array{std::tuple{TCodecRow::Lame, &form.LamePath, &form.OrigLamePath},
                      std::tuple{TCodecRow::Ape, &form.ApePath, &form.OrigApePath},
                      std::tuple{TCodecRow::Flac, &form.FlacPath, &form.OrigFlacPath}};
}

} // namespace

// The locator's lists start empty; a row whose folder is set shows its last entry, or the
// tool in it when it is there. On OK only the folder of each entry is taken over. The reload
// after the save follows only a save that worked: the stored folders would otherwise take the
// place of the ones just chosen.
void TForm1::OpenCodecLocator()
{
    CodecLocator.ClearEntryItems();
    for (const auto& [row, folder, lastEntry] : LocatorFolders(*this)) {
        if (!folder->isEmpty())
            CodecLocator.SetEntryText(row, TFormCodec::EntryFor(row, *lastEntry));
    }
    CodecLocator.WebHost = WebHost();
    const bool confirmed = CodecLocator.Run(Window());
    if (CodecLocator.WasAbandoned()) {
        CloseIfRequested();
        return;
    }
    if (confirmed) {
        for (const auto& [row, folder, lastEntry] : LocatorFolders(*this)) {
            *lastEntry = CodecLocator.EntryText(row);
            *folder = FolderOf(*lastEntry);
        }
    }
    RefreshCodecStatus();
    LoadLameHelp();
    ShowStatusLines(VerifyMode);
    if (SaveSettings())
        LoadSettings();
}

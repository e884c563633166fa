#include "MenuCommands.h"

#include "TForm1.h"

namespace {

bool Toggle(TForm1& form, TMenuItem item)
{
    form.SetTicked(item, !form.IsTicked(item));
    return form.IsTicked(item);
}

bool IsPreset(TMenuItem item)
{
    return item >= TMenuItem::cs1 && item <= TMenuItem::fs5;
}

} // namespace

void RunMenuCommand(TForm1& form, TMenuItem item)
{
    switch (item) {
    case TMenuItem::Stopcurrentprocesses1:
        form.Stopcurrentprocesses1Click();
        return;
    case TMenuItem::mnuCustomSettings:
        form.mnuCustomSettingsClick();
        return;
    case TMenuItem::mnuSaveTo:
        form.mnuSaveToClick();
        return;
    case TMenuItem::LameHelpShow1:
        form.LameHelpShow1Click();
        return;
    case TMenuItem::Checkcodecpaths1:
        form.OpenCodecLocator();
        return;
    case TMenuItem::Exit1:
        Toggle(form, item);
        return;
    case TMenuItem::Savetosourcedirectory1:
        form.SetEnabled(TMenuItem::mnuSaveTo, !Toggle(form, item));
        return;
    case TMenuItem::Verifyonly1:
        form.VerifyMode = Toggle(form, item);
        form.ShowStatusLines(form.VerifyMode);
        return;
    default:
        if (IsPreset(item))
            form.SelectPreset(item);
        return;
    }
}

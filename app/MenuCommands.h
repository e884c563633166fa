#pragma once

#include "IMainView.h"

class TForm1;

// Runs the command of a menu item on the window's logic: the logic's own handler, or the
// switch of a toggle. Items whose command does not exist yet do nothing.
void RunMenuCommand(TForm1& form, TMenuItem item);

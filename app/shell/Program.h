// Program-wide state of Merivox, made by SubMain and alive until the process
// ends: what ProgramInfo.h holds, and the program's main window.
#pragma once

#include "shell/ProgramInfo.h"

class QWidget;

namespace program {

// The frame window while it exists, as the window that owns dialogs and
// message boxes; null before SubMain shows it and after it closed.
QWidget* MainWindow();
void SetMainWindow(QWidget* frame);

}  // namespace program

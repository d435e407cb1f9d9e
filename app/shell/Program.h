// Program-wide state of Merivox, made by SubMain and alive until the process
// ends: what ProgramInfo.h holds, and the frame window.
#pragma once

#include "shell/ProgramInfo.h"

class MDIMain;

namespace program {

// The frame window while it exists; null before SubMain shows it and after it closed.
MDIMain* MainFrame();
void SetMainFrame(MDIMain* frame);

}  // namespace program

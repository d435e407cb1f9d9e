// The option pages of the scenario wizard: one per analysis (the three
// group analyses share one). Each page's class lives in its own
// source with a factory that the analysis catalogue names; the wizard makes
// them by page number.
#pragma once

#include "wizard/COptionPage.h"

namespace wizard {
// The option page of an options page number, with the help topic and
// the Next check of its analysis; null for any other number.
COptionPage* CreateOptionPage(long page, QWidget* owner);
}  // namespace wizard

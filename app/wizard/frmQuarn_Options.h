// The option pages of the scenario wizard: one per analysis (the three
// group analyses share one). The pages' classes share two sources,
// frmQuarn_Options_Parametric.cpp and frmQuarn_Options_NonParametric.cpp
// (the group page among the latter), each class with a factory in the
// namespace optionpages that the analysis catalogue names; the wizard makes
// them by page number.
#pragma once

#include "wizard/COptionPage.h"

namespace wizard {
// The option page of an options page number, with the help topic and
// the Next check of its analysis; null for any other number.
COptionPage* CreateOptionPage(long page, QWidget* owner);
}  // namespace wizard

// The option pages of the scenario wizard, pages 4 to 18: one per analysis
// (the three group analyses share one). Each is a COptionPage described by
// its tables and laid out by its constructor.
#pragma once

#include "wizard/COptionPage.h"

#define MERIVOX_OPTION_PAGE(form)                                                                                      \
    class form : public COptionPage {                                                                                  \
    public:                                                                                                            \
        explicit form(QWidget* parent = nullptr);                                                                      \
    };

MERIVOX_OPTION_PAGE(frmQuarn_Options_Describe)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Frequency)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Percentile)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Compare)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Matrix)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Regress)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Crosstab)
MERIVOX_OPTION_PAGE(frmQuarn_Options_Group)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_ChiSquare)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_SignTest)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_KSFit)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_TwoSample)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_NSample)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_PairedFields)
MERIVOX_OPTION_PAGE(frmQuarn_Options_NP_NFields)

#undef MERIVOX_OPTION_PAGE

namespace wizard {
// The option page of a page number from 4 to 18; null for any other number.
COptionPage* CreateOptionPage(long page, QWidget* owner);
}  // namespace wizard

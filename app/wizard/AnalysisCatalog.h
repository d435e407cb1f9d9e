// The program's side of each analysis, one entry per analysis of the store's
// list (store::kAnalysisList) in its order: what the scenario list, the
// wizard's pages and its options pages show and do for that analysis. The
// store's list holds what the engine shares (name, family, field roles,
// second table, output names, options page number); this table adds only
// what the program alone needs. A compile-time check holds it to the store's
// list, so an analysis added there without its entry here does not build.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ScenarioSchema.h"

class COptionPage;
class CZantelsPropWiz;
class QWidget;

namespace catalog {

// What an options page's Next checks before the wizard moves on: the message
// (empty when the scenario passes), the focus moved to the control to correct.
using NextCheck = std::string (*)(CZantelsPropWiz& wiz, QWidget* page);

struct AnalysisEntry {
    store::Analysis id;
    const char* caption;       // the wizard's option button, with its accelerator
    const char* listCaption;   // the scenario list's filter button
    int fieldFrame;            // the field page's frame of role lists (1 to 6)
    const char* outputLabel1;  // how the finish page names the output tables
    const char* outputLabel2;
    const char* optionsForm;                        // the options page's form name
    COptionPage* (*createOptions)(QWidget* owner);  // defined beside the page, in the namespace optionpages
    int helpTopic;        // the options page's topic in Merivox.HLP (by custom 247 plus the page number)
    NextCheck nextCheck;  // null: the options page checks nothing
};

std::span<const AnalysisEntry> Entries();
const AnalysisEntry& Entry(store::Analysis id);
// The entry of the analysis of exactly this name (with letter case); null for any other text.
const AnalysisEntry* EntryNamed(std::string_view subType);
// The first analysis whose options page has this number; null when none has.
const AnalysisEntry* OptionsPageEntry(long page);

}  // namespace catalog

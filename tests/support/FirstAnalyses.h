// The analyses the scenario objects were first written for, Describe to
// N Fields, and the columns that belong to them. The tests that hold the
// objects to their known counts count only these columns, so an analysis
// added later, with options of its own, leaves the counts as they are.
#pragma once

#include "ScenarioSchema.h"

namespace firstanalyses {

inline constexpr store::AnalysisSet kFirstAnalyses = (store::Bit(store::Analysis::NFields) << 1) - 1;

// The analyses a column belongs to: those whose runs read it, and those
// whose second table it switches on (an option no run reads).
inline store::AnalysisSet OwnersOf(const store::ColumnDef& column) {
    store::AnalysisSet owners = column.readBy;
    for (const store::AnalysisDef& a : store::kAnalysisList)
        if (!column.property.empty() && a.secondTable == column.property) owners |= store::Bit(a.id);
    return owners;
}

// A column of the first analyses: one of no analysis (the scenario's own
// columns, the options carried unread), or one that a first analysis has,
// alone or shared with later ones.
inline bool OfTheFirstAnalyses(const store::ColumnDef& column) {
    const store::AnalysisSet owners = OwnersOf(column);
    return owners == 0 || (owners & kFirstAnalyses) != 0;
}

// What a failed count of the first analyses' columns means.
inline constexpr const char* kCountChanged =
    "a count of the columns of the analyses Describe to N Fields changed. An option of a new analysis is left "
    "out of it when it takes Bit(TheAnalysis), or, when no run reads it, when it is the option its analysis's "
    "row in kAnalysisList names as its second table; give it that, rather than changing the count. Change the "
    "count only when an option of one of those analyses was really added or removed";

}  // namespace firstanalyses

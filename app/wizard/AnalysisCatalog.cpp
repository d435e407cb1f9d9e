#include "wizard/AnalysisCatalog.h"

#include <array>

#include "wizard/CZantelsPropWiz.h"

// The options pages' factories, each defined beside its page.
namespace optionpages {
COptionPage* Describe(QWidget* owner);
COptionPage* Frequency(QWidget* owner);
COptionPage* Percentile(QWidget* owner);
COptionPage* Compare(QWidget* owner);
COptionPage* Matrix(QWidget* owner);
COptionPage* Regress(QWidget* owner);
COptionPage* Crosstab(QWidget* owner);
COptionPage* Group(QWidget* owner);
COptionPage* ChiSquare(QWidget* owner);
COptionPage* SignTest(QWidget* owner);
COptionPage* KSFit(QWidget* owner);
COptionPage* TwoSample(QWidget* owner);
COptionPage* NSample(QWidget* owner);
COptionPage* PairedFields(QWidget* owner);
COptionPage* NFields(QWidget* owner);
}  // namespace optionpages

namespace catalog {
namespace {

using enum store::Analysis;

// The options pages' checks.
std::string DescribeAndFrequency(CZantelsPropWiz& wiz, QWidget* page) {
    std::string message = wiz.CheckDescribe(page);
    return message.empty() ? wiz.CheckFrequency(page, wiz.FreqN(), wiz.FreqP()) : message;
}
// Frequency's page always asks for intervals.
std::string DescribeAndIntervals(CZantelsPropWiz& wiz, QWidget* page) {
    std::string message = wiz.CheckDescribe(page);
    return message.empty() ? wiz.CheckFrequency(page, true, true) : message;
}
std::string SignTestCheck(CZantelsPropWiz& wiz, QWidget* page) { return wiz.CheckSignTest(page); }
std::string KSFitCheck(CZantelsPropWiz& wiz, QWidget* page) { return wiz.CheckKSFit(page); }
std::string PairedCheck(CZantelsPropWiz& wiz, QWidget* page) { return wiz.CheckPaired(page); }

constexpr std::array kEntries{
    AnalysisEntry{Describe, "&Describe", "Describe", 1, "Describe", "", "frmQuarn_Options_Describe",
                  optionpages::Describe, 251, DescribeAndFrequency},
    AnalysisEntry{Frequency, "&Frequency", "Frequency", 1, "Freqency", "", "frmQuarn_Options_Frequency",
                  optionpages::Frequency, 252, DescribeAndIntervals},
    AnalysisEntry{Percentiles, "&Percentiles", "Percentiles", 1, "Percentiles", "", "frmQuarn_Options_Percentile",
                  optionpages::Percentile, 253, nullptr},
    AnalysisEntry{Compare, "Compar&e", "Compare", 3, "Compare", "", "frmQuarn_Options_Compare", optionpages::Compare,
                  254, DescribeAndFrequency},
    AnalysisEntry{Matrix, "&Matrix", "Matrix", 1, "Matrix", "", "frmQuarn_Options_Matrix", optionpages::Matrix, 255,
                  DescribeAndFrequency},
    AnalysisEntry{Regression, "&Regression", "Regression", 3, "Regression", "Residual", "frmQuarn_Options_Regress",
                  optionpages::Regress, 256, nullptr},
    AnalysisEntry{Crosstab, "&Crosstab", "Crosstab", 5, "Crosstab", "Crosstab Chi-Square", "frmQuarn_Options_Crosstab",
                  optionpages::Crosstab, 257, DescribeAndFrequency},
    AnalysisEntry{TwoSampleTTest, "&Two Sample t-Test", "Two Sample t-Test", 2, "Two Sample t-Test",
                  "Two Sample t-Test Details", "frmQuarn_Options_Group", optionpages::Group, 258, nullptr},
    AnalysisEntry{Anova, "&ANOVA", "ANOVA", 2, "ANOVA", "ANOVA Details", "frmQuarn_Options_Group", optionpages::Group,
                  258, nullptr},
    AnalysisEntry{TwoWayAnova, "Two &way ANOVA", "Two-Way ANOVA", 4, "Two Way ANOVA", "Two Way ANOVA Details",
                  "frmQuarn_Options_Group", optionpages::Group, 258, nullptr},
    AnalysisEntry{ChiSquare, "Chi S&quare", "Chi-Square", 6, "Chi-Square", "Chi-Square Details",
                  "frmQuarn_Options_NP_ChiSquare", optionpages::ChiSquare, 259, nullptr},
    AnalysisEntry{SignTest, "Si&gn Test", "Sign Test", 1, "SignTest", "", "frmQuarn_Options_NP_SignTest",
                  optionpages::SignTest, 260, SignTestCheck},
    AnalysisEntry{KSFit, "&K-S Fit", "K-S Fit", 1, "K-S Fit", "", "frmQuarn_Options_NP_KSFit", optionpages::KSFit, 261,
                  KSFitCheck},
    AnalysisEntry{TwoSample, "&2 Sample", "2 Sample", 2, "2 Sample", "", "frmQuarn_Options_NP_TwoSample",
                  optionpages::TwoSample, 262, nullptr},
    AnalysisEntry{NSample, "N &Sample", "N Sample", 2, "N Sample Kruskal", "N Sample Kruskal Details",
                  "frmQuarn_Options_NP_NSample", optionpages::NSample, 263, nullptr},
    AnalysisEntry{PairedFields, "Pa&ired Fields", "Paired Fields", 3, "PairedFields", "",
                  "frmQuarn_Options_NP_PairedFields", optionpages::PairedFields, 264, PairedCheck},
    AnalysisEntry{NFields, "N Fie&lds", "N Fields", 1, "N Fields Friedman", "N Fields Friedman Details",
                  "frmQuarn_Options_NP_NFields", optionpages::NFields, 265, nullptr},
};

// Every analysis has its entry, in the store's order, and analyses that share
// an options page share its form and its help topic.
static_assert(
    [] {
        if (kEntries.size() != store::kAnalysisList.size()) return false;
        for (size_t i = 0; i < kEntries.size(); ++i) {
            const AnalysisEntry& e = kEntries[i];
            if (e.id != store::kAnalysisList[i].id || e.caption == nullptr) return false;
            if (e.fieldFrame < 1 || e.fieldFrame > 6) return false;
            for (size_t j = 0; j < i; ++j) {
                const bool samePage = store::kAnalysisList[j].optionsPage == store::kAnalysisList[i].optionsPage;
                if (samePage != (std::string_view(kEntries[j].optionsForm) == e.optionsForm)) return false;
                if (samePage && kEntries[j].helpTopic != e.helpTopic) return false;
            }
        }
        return true;
    }(),
    "the catalogue has one entry per analysis of the store's list, in its order");
// The options pages are numbered from the first without a gap, below the pages that follow them.
static_assert(
    [] {
        for (long page = wizard::kFirstOptionsPage; page <= wizard::kLastOptionsPage; ++page) {
            bool used = false;
            for (const store::AnalysisDef& a : store::kAnalysisList) used = used || a.optionsPage == page;
            if (!used) return false;
        }
        return wizard::kLastOptionsPage < wizard::kOptionsJump;
    }(),
    "every options page number between the first and the last has a page");

}  // namespace

std::span<const AnalysisEntry> Entries() { return kEntries; }

const AnalysisEntry& Entry(store::Analysis id) { return kEntries[static_cast<size_t>(id)]; }

const AnalysisEntry* EntryNamed(std::string_view subType) {
    const store::AnalysisDef* a = store::ExactAnalysis(subType);
    return a ? &Entry(a->id) : nullptr;
}

const AnalysisEntry* OptionsPageEntry(long page) {
    for (const store::AnalysisDef& a : store::kAnalysisList)
        if (a.optionsPage == page) return &Entry(a.id);
    return nullptr;
}

}  // namespace catalog

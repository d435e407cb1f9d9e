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
    AnalysisEntry{.id = Describe,
                  .caption = "&Describe",
                  .listCaption = "Describe",
                  .fieldFrame = 1,
                  .outputLabel1 = "Describe",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_Describe",
                  .createOptions = optionpages::Describe,
                  .helpTopic = 251,
                  .nextCheck = DescribeAndFrequency},
    AnalysisEntry{.id = Frequency,
                  .caption = "&Frequency",
                  .listCaption = "Frequency",
                  .fieldFrame = 1,
                  .outputLabel1 = "Freqency",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_Frequency",
                  .createOptions = optionpages::Frequency,
                  .helpTopic = 252,
                  .nextCheck = DescribeAndIntervals},
    AnalysisEntry{.id = Percentiles,
                  .caption = "&Percentiles",
                  .listCaption = "Percentiles",
                  .fieldFrame = 1,
                  .outputLabel1 = "Percentiles",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_Percentile",
                  .createOptions = optionpages::Percentile,
                  .helpTopic = 253,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = Compare,
                  .caption = "Compar&e",
                  .listCaption = "Compare",
                  .fieldFrame = 3,
                  .outputLabel1 = "Compare",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_Compare",
                  .createOptions = optionpages::Compare,
                  .helpTopic = 254,
                  .nextCheck = DescribeAndFrequency},
    AnalysisEntry{.id = Matrix,
                  .caption = "&Matrix",
                  .listCaption = "Matrix",
                  .fieldFrame = 1,
                  .outputLabel1 = "Matrix",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_Matrix",
                  .createOptions = optionpages::Matrix,
                  .helpTopic = 255,
                  .nextCheck = DescribeAndFrequency},
    AnalysisEntry{.id = Regression,
                  .caption = "&Regression",
                  .listCaption = "Regression",
                  .fieldFrame = 3,
                  .outputLabel1 = "Regression",
                  .outputLabel2 = "Residual",
                  .optionsForm = "frmQuarn_Options_Regress",
                  .createOptions = optionpages::Regress,
                  .helpTopic = 256,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = Crosstab,
                  .caption = "&Crosstab",
                  .listCaption = "Crosstab",
                  .fieldFrame = 5,
                  .outputLabel1 = "Crosstab",
                  .outputLabel2 = "Crosstab Chi-Square",
                  .optionsForm = "frmQuarn_Options_Crosstab",
                  .createOptions = optionpages::Crosstab,
                  .helpTopic = 257,
                  .nextCheck = DescribeAndFrequency},
    AnalysisEntry{.id = TwoSampleTTest,
                  .caption = "&Two Sample t-Test",
                  .listCaption = "Two Sample t-Test",
                  .fieldFrame = 2,
                  .outputLabel1 = "Two Sample t-Test",
                  .outputLabel2 = "Two Sample t-Test Details",
                  .optionsForm = "frmQuarn_Options_Group",
                  .createOptions = optionpages::Group,
                  .helpTopic = 258,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = Anova,
                  .caption = "&ANOVA",
                  .listCaption = "ANOVA",
                  .fieldFrame = 2,
                  .outputLabel1 = "ANOVA",
                  .outputLabel2 = "ANOVA Details",
                  .optionsForm = "frmQuarn_Options_Group",
                  .createOptions = optionpages::Group,
                  .helpTopic = 258,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = TwoWayAnova,
                  .caption = "Two &way ANOVA",
                  .listCaption = "Two-Way ANOVA",
                  .fieldFrame = 4,
                  .outputLabel1 = "Two Way ANOVA",
                  .outputLabel2 = "Two Way ANOVA Details",
                  .optionsForm = "frmQuarn_Options_Group",
                  .createOptions = optionpages::Group,
                  .helpTopic = 258,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = ChiSquare,
                  .caption = "Chi S&quare",
                  .listCaption = "Chi-Square",
                  .fieldFrame = 6,
                  .outputLabel1 = "Chi-Square",
                  .outputLabel2 = "Chi-Square Details",
                  .optionsForm = "frmQuarn_Options_NP_ChiSquare",
                  .createOptions = optionpages::ChiSquare,
                  .helpTopic = 259,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = SignTest,
                  .caption = "Si&gn Test",
                  .listCaption = "Sign Test",
                  .fieldFrame = 1,
                  .outputLabel1 = "SignTest",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_NP_SignTest",
                  .createOptions = optionpages::SignTest,
                  .helpTopic = 260,
                  .nextCheck = SignTestCheck},
    AnalysisEntry{.id = KSFit,
                  .caption = "&K-S Fit",
                  .listCaption = "K-S Fit",
                  .fieldFrame = 1,
                  .outputLabel1 = "K-S Fit",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_NP_KSFit",
                  .createOptions = optionpages::KSFit,
                  .helpTopic = 261,
                  .nextCheck = KSFitCheck},
    AnalysisEntry{.id = TwoSample,
                  .caption = "&2 Sample",
                  .listCaption = "2 Sample",
                  .fieldFrame = 2,
                  .outputLabel1 = "2 Sample",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_NP_TwoSample",
                  .createOptions = optionpages::TwoSample,
                  .helpTopic = 262,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = NSample,
                  .caption = "N &Sample",
                  .listCaption = "N Sample",
                  .fieldFrame = 2,
                  .outputLabel1 = "N Sample Kruskal",
                  .outputLabel2 = "N Sample Kruskal Details",
                  .optionsForm = "frmQuarn_Options_NP_NSample",
                  .createOptions = optionpages::NSample,
                  .helpTopic = 263,
                  .nextCheck = nullptr},
    AnalysisEntry{.id = PairedFields,
                  .caption = "Pa&ired Fields",
                  .listCaption = "Paired Fields",
                  .fieldFrame = 3,
                  .outputLabel1 = "PairedFields",
                  .outputLabel2 = "",
                  .optionsForm = "frmQuarn_Options_NP_PairedFields",
                  .createOptions = optionpages::PairedFields,
                  .helpTopic = 264,
                  .nextCheck = PairedCheck},
    AnalysisEntry{.id = NFields,
                  .caption = "N Fie&lds",
                  .listCaption = "N Fields",
                  .fieldFrame = 1,
                  .outputLabel1 = "N Fields Friedman",
                  .outputLabel2 = "N Fields Friedman Details",
                  .optionsForm = "frmQuarn_Options_NP_NFields",
                  .createOptions = optionpages::NFields,
                  .helpTopic = 265,
                  .nextCheck = nullptr},
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

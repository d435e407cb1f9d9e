// Topic numbers of the help file Merivox.HLP, one per window. Each window
// carries its number as the property HelpContextID, so F1 finds it.
#pragma once

namespace help {

inline constexpr int kTroubleshooting = 1;  // the unexpected-error dialog's context
inline constexpr int kFrame = 10;           // the frame window, menus and toolbar
inline constexpr int kOpenDatabase = 15;    // the Open Scenario Database dialog
inline constexpr int kRecentDatabases = 20;
inline constexpr int kOptions = 30;
inline constexpr int kAbout = 40;
inline constexpr int kErrorDialog = 50;
inline constexpr int kUsingHelp = 60;
inline constexpr int kFilesAndSettings = 70;
inline constexpr int kScenarioList = 80;  // the scenario list, running, duplicating and deleting

// The scenario wizard: an overview, then one topic per page.
inline constexpr int kWizard = 200;
inline constexpr int kWizardAnalysis = 210;
inline constexpr int kWizardSource = 220;
inline constexpr int kWizardFields = 230;
inline constexpr int kWizardIgnore = 235;
inline constexpr int kWizardFinish = 290;
// The option pages' topics are in the analysis catalogue (wizard/AnalysisCatalog.cpp).
inline constexpr int kCalculator = 111;    // the probability calculator
inline constexpr int kGenerateCode = 112;  // the code generator

}  // namespace help

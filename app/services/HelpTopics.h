// Topic numbers of the help file Merivox.HLP, one per window. Each window
// carries its number as the property HelpContextID, so F1 finds it.
#pragma once

namespace help {

inline constexpr int kTroubleshooting = 1;  // the unexpected-error dialog's context
inline constexpr int kFrame = 10;           // the frame window, menus and toolbar
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
// The option pages, 247 plus the page number (Describe, page 4, is 251).
inline constexpr int kWizardOptionsDescribe = 251;
inline constexpr int kWizardOptionsFrequency = 252;
inline constexpr int kWizardOptionsPercentile = 253;
inline constexpr int kWizardOptionsCompare = 254;
inline constexpr int kWizardOptionsMatrix = 255;
inline constexpr int kWizardOptionsRegress = 256;
inline constexpr int kWizardOptionsCrosstab = 257;
inline constexpr int kWizardOptionsGroup = 258;
inline constexpr int kWizardOptionsChiSquare = 259;
inline constexpr int kWizardOptionsSignTest = 260;
inline constexpr int kWizardOptionsKSFit = 261;
inline constexpr int kWizardOptionsTwoSample = 262;
inline constexpr int kWizardOptionsNSample = 263;
inline constexpr int kWizardOptionsPairedFields = 264;
inline constexpr int kWizardOptionsNFields = 265;
inline constexpr int kCalculator = 111;    // the probability calculator
inline constexpr int kGenerateCode = 112;  // the code generator

}  // namespace help

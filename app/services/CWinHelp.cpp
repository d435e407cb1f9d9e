#include "services/CWinHelp.h"

#include "forms/frmHelp.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"
#include "vb/VbError.h"

namespace {

// Runs one operation, turning any error into the operation's message box.
template <class F>
void Run(const char* operation, F&& body) {
    try {
        body();
    } catch (const vb::VbError& e) {
        ui::MsgBox("Error: " + std::to_string(e.Number()) + ". " + e.Description(), ui::vbOKOnly, operation);
    } catch (const std::exception& e) {
        ui::MsgBox("Error: " + std::to_string(vb::err::kInvalidProcedureCall) + ". " + e.what(), ui::vbOKOnly,
                   operation);
    }
}

}  // namespace

void CWinHelp::CloseFile() {
    Run("CloseFile", [] { frmHelp::CloseHelp(); });
}

void CWinHelp::HelpOnHelp() {
    Run("HelpOnHelp", [this] { ui::Ui().ShowHelp(helpFile_, help::kUsingHelp); });
}

void CWinHelp::OpenContents() {
    Run("OpenContents", [this] { ui::Ui().ShowHelp(helpFile_, 0); });
}

void CWinHelp::OpenFinder() {
    Run("OpenFinder", [this] { ui::Ui().ShowHelp(helpFile_, 0); });
}

void CWinHelp::OpenContext(int32_t contextId) {
    Run("OpenContext", [this, contextId] { ui::Ui().ShowHelp(helpFile_, contextId); });
}

void CWinHelp::RunMacro(const std::string&) {
    Run("RunMacro", [] {});
}

void CWinHelp::SearchDialog() {
    Run("SearchDialog", [this] { frmHelp::Search(helpFile_, ""); });
}

void CWinHelp::SearchFor(const std::string& keyword) {
    Run("SearchFor", [this, &keyword] { frmHelp::Search(helpFile_, keyword); });
}

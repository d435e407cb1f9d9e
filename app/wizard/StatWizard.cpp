// The page machine of the scenario wizard: from the start page it shows one
// page at a time, reads how the user left it and picks the next page, until
// the user leaves the wizard.
#include <map>

#include "ErrorStack.h"
#include "shell/ProgramInfo.h"
#include "ui/UiServices.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/WizardPage.h"

namespace {

bool HasWindow(long page) {
    return (page >= wizard::kAnalysisPage && page <= wizard::kLastOptionsPage) || page == wizard::kFinishPage;
}

// Where the wizard goes from `page` when the user left it with `nav`; the
// same page again for any other way out. Leaving the wizard sets `result`.
long PageAfter(const CZantelsPropWiz& wiz, long page, long nav, long& result) {
    using namespace wizard;
    if (page == kAnalysisPage) {
        if (nav == kBack) {
            result = kLeftBeforeFinish;
            page = kEnd;
        } else if (nav == kNext) {
            page = kSourcePage;
        }
    } else if (page == kSourcePage) {
        if (nav == kBack) page = kAnalysisPage;
        if (nav == kNext) page = kFieldsPage;
    } else if (page == kFieldsPage) {
        if (nav == kBack) page = kEnd;
        if (nav == kNext) page = wiz.GetOptionsPage();
        if (nav == kCancel) page = CZantelsPropWiz::GetNextPage(page);
    } else if (page >= kFirstOptionsPage && page <= kLastOptionsPage) {
        if (nav == kBack) page = kFieldsPage;
        if (nav == kNext) page = kFinishPage;
        if (nav == kCancel) page = CZantelsPropWiz::GetNextPage(page);
    } else if (page == kFinishPage) {
        if (nav == kBack) {
            page = wiz.GetOptionsPage();
        } else if (nav == kNext) {
            result = kClosedOnFinish;
            page = kEnd;
        } else if (nav == kSaveAndRun) {
            result = kSaveAndRunResult;
            page = kEnd;
        }
    }
    return page;
}

}  // namespace

long CZantelsPropWiz::ShowStatWizard(long StartForm, QWidget* owner) {
    using namespace wizard;
    CErr_Zelk& stack = ErrStack();
    const int depth = stack.Depth();
    stack.Push("CZantelsPropWiz:ShowStatWizard");

    // One window per page, made on first need and kept until the end; the
    // map's order is the order of unloading.
    std::map<long, CWizardPage*> pages;
    const PageFactory factory = CurrentPageFactory();
    auto window = [&](long page) {
        CWizardPage*& w = pages[page];
        if (!w) w = factory(page, owner);
        return w;
    };
    // The field roles window is bound, unseen, before the option or finish
    // page is reached directly: its binding loads the stored field roles.
    auto bindFields = [&] {
        if (!pages.count(kFieldsPage)) window(kFieldsPage)->Wiz(this);
    };

    long page = StartForm;
    long result = kLeftBeforeFinish;
    try {
        while (page != kEnd) {
            if (page == kOptionsJump) {
                bindFields();
                page = GetOptionsPage();
                continue;
            }
            if (page == kNoPage) {
                ui::MsgBox("No forward yet...", ui::vbOKOnly, program::kAppTitle);
                result = kLeftBeforeFinish;
                page = kEnd;
                continue;
            }
            if (!HasWindow(page)) {
                // A page number no caller should pass: the wizard ends unsaved.
                result = kLeftBeforeFinish;
                page = kEnd;
                continue;
            }
            if (page == kFinishPage) bindFields();
            CWizardPage* w = window(page);
            w->Wiz(this);
            w->ShowModal();
            page = PageAfter(*this, page, w->NavResult(), result);
        }
    } catch (...) {
        stack.HandleError();
    }
    for (auto& [number, w] : pages) delete w;
    while (stack.Depth() > depth) stack.Pop();
    return result;
}

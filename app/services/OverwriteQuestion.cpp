#include "services/OverwriteQuestion.h"

#include <algorithm>

#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"

bool AgreeToOverwrite(const dao::DatabasePtr& db, const std::string& first, const std::string& second,
                      const std::vector<std::string>& agreed, std::vector<std::string>* asked) {
    const auto toAsk = [&](const std::string& name) {
        if (name.empty() || !TableExists(db, name)) return false;
        return std::none_of(agreed.begin(), agreed.end(),
                            [&](const std::string& a) { return vb::EqualsNoCase(a, name); });
    };
    std::vector<std::string> existing;
    std::string list;
    if (toAsk(first)) {
        list = first;
        existing.push_back(first);
    }
    if (toAsk(second)) {
        list += "\r\n" + second;
        existing.push_back(second);
    }
    if (asked) *asked = existing;
    return list.empty() ||
           ui::MsgBox("The following output table(s) already exist in the current database. Do you want to "
                      "overwrite them?\r\n\r\n" +
                          list,
                      ui::vbYesNo | ui::vbQuestion, program::kAppTitle) == ui::vbYes;
}

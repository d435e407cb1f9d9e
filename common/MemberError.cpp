#include "MemberError.h"

#include <exception>
#include <new>

#include "ui/UiServices.h"
#include "vb/VbError.h"

namespace common {

void ShowMemberError(const std::string& member, const std::string& separator) {
    int32_t number = vb::err::kInvalidProcedureCall;
    std::string description;
    try {
        throw;
    } catch (const vb::VbError& e) {
        number = e.Number();
        description = e.Description();
    } catch (const std::bad_alloc&) {
        number = vb::err::kOutOfMemory;
        description = vb::StandardErrorText(number);
    } catch (const std::exception& e) {
        description = e.what();
    } catch (...) {
        description = vb::StandardErrorText(number);
    }
    try {
        ui::Ui().MsgBox("Error: " + std::to_string(number) + separator + description, ui::vbOKOnly, member);
    } catch (...) {
        // Nothing more can be told.
    }
}

}  // namespace common

#include "Hourglass.h"

#include "MemberError.h"
#include "ui/UiServices.h"

void CHourglass::Value(bool fValue) {
    try {
        value_ = fValue;
        ui::Ui().SetMousePointer(fValue ? ui::vbHourglass : ui::vbDefault);
    } catch (...) {
        common::ShowMemberError("Value");
    }
}

CHourglass::~CHourglass() {
    try {
        ui::Ui().SetMousePointer(ui::vbDefault);
    } catch (...) {
        // A destructor must not throw; the pointer stays as it is.
    }
}

// Record-set destinations of the error stack.
#include "ErrorStack.h"

#include "dao/Dao.h"

bool CErr_Zelk::IsRecordset(const vb::ObjectPtr& object) {
    return std::dynamic_pointer_cast<dao::Recordset>(object) != nullptr;
}

// Deletes every row; a failure part-way leaves the remaining rows.
bool CErr_Zelk::ClearRecordset(const vb::ObjectPtr& object) {
    auto rs = std::dynamic_pointer_cast<dao::Recordset>(object);
    if (!rs) return true;
    if (rs->RecordCount() == 0) return true;
    rs->MoveFirst();
    while (!rs->Eof()) {
        rs->Delete();
        rs->MoveNext();
    }
    return true;
}

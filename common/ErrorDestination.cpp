// Record-set destinations of the error stack. Until the data-access layer is
// linked here no object qualifies.
#include "ErrorStack.h"

bool CErr_Zelk::IsRecordset(const vb::ObjectPtr&) { return false; }
bool CErr_Zelk::ClearRecordset(const vb::ObjectPtr&) { return false; }

// Placeholder until the report file is written: HandleError keeps every other step.
#include "ErrorStack.h"

bool CErr_Zelk::WriteErrorReport() { return false; }

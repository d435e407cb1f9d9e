// The events of a Quantara object. A client derives from QuantaraEvents,
// overrides what it wants and connects the sink with Quantara::Advise. Events
// are raised synchronously on the caller's thread, in connection order.
#pragma once

#include <string>

#include "Merivox6/Export.h"

class MERIVOX6_API QuantaraEvents {
public:
    virtual ~QuantaraEvents();
    // A progress text of the running scenario (only while progress is asked for).
    virtual void StatStatus(std::string& StatusMessage);
    // Once at the start of every run, before any argument is applied.
    virtual void RunScenarioBegin();
    // Once at the end of a run. A handler that changes fStatus changes what
    // RunScenario returns.
    virtual void RunScenarioComplete(bool& fStatus, std::string& strError);
};

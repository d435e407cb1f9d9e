// A client's view: only the public header and libMerivox6.so.
#include <gtest/gtest.h>

#include "Merivox6/Quantara.h"
#include "ui/RecordingUi.h"

namespace {

class Sink : public QuantaraEvents {
public:
    void RunScenarioBegin() override { ++begun; }
    void RunScenarioComplete(bool& fStatus, std::string& strError) override {
        status = fStatus;
        error = strError;
    }
    int begun = 0;
    bool status = true;
    std::string error;
};

}  // namespace

TEST(QuantaraClient, CreatesRunsAndComputes) {
    ui::RecordingUi ui;
    ui::ScopedUi scoped(ui);
    Quantara q;
    EXPECT_EQ(q.get_ScenarioDatabase(), nullptr);
    EXPECT_EQ(q.get_ErrorInfo(), "");
    Sink sink;
    const int cookie = q.Advise(&sink);
    const int32_t scenario = 1;
    EXPECT_FALSE(q.RunScenario(scenario));
    EXPECT_EQ(sink.begun, 1);
    EXPECT_FALSE(sink.status);
    EXPECT_EQ(sink.error, "Scenario database property not assigned or opened");
    q.Unadvise(cookie);
    EXPECT_NEAR(q.Probability("Z", 1.96, 0, 0), 0.04999579, 1e-7);
    EXPECT_NEAR(q.ProbInverse("T", 0.05, 10, 0), 2.228138852, 1e-7);
}

// The process exit status from start-up, the worker's code and the reason.
#include <gtest/gtest.h>

#include "app/ExitStatus.h"

using namespace exitstatus;

namespace {
RunFacts Worker(unsigned long code, bool notFound = false, bool cancelled = false) {
    RunFacts f;
    f.workerRan = true;
    f.workerCode = code;
    f.productNotFound = notFound;
    f.cancelledByUser = cancelled;
    return f;
}
}  // namespace

TEST(ExitStatus, StartUpEndings) {
    const struct { Start start; int status; } cases[] = {
        {Start::Help, 0},          {Start::UsageError, 1639},
        {Start::LogFailed, 1622},  {Start::DescriptionIncomplete, 1620},
        {Start::AlreadyRunning, 1618},
    };
    for (auto& c : cases) {
        RunFacts f = Worker(static_cast<unsigned long>(-1), true, true);
        f.start = c.start;
        // How start-up ended decides, whatever else is recorded.
        EXPECT_EQ(ProcessExitStatus(f), c.status);
    }
}

TEST(ExitStatus, FromTheWorker) {
    const unsigned long failed = 0xFFFFFFFFul;  // the worker's -1
    EXPECT_EQ(ProcessExitStatus(Worker(0)), 0);
    EXPECT_EQ(ProcessExitStatus(Worker(16)), 1638);
    EXPECT_EQ(ProcessExitStatus(Worker(failed)), 1603);
    EXPECT_EQ(ProcessExitStatus(Worker(failed, false, true)), 1602);
    EXPECT_EQ(ProcessExitStatus(Worker(failed, true, false)), 1605);
    EXPECT_EQ(ProcessExitStatus(Worker(failed, true, true)), 1605);
    // A worker that ended well is not spoiled by an earlier Cancel it
    // recovered from, nor by a folder it looked for in vain first.
    EXPECT_EQ(ProcessExitStatus(Worker(0, true, true)), 0);
    EXPECT_EQ(ProcessExitStatus(Worker(16, false, true)), 1638);
    // Leaving the wizard before the update began.
    RunFacts left;
    EXPECT_EQ(ProcessExitStatus(left), 1602);
    // A medium refused as not signed, at start-up or by the worker, whatever
    // else the worker's end would say.
    for (RunFacts refused : {left, Worker(failed, true, true)}) {
        refused.signatureRefused = true;
        EXPECT_EQ(ProcessExitStatus(refused), 1620);
    }
}

TEST(ExitStatus, DescriptionsNameTheCode) {
    EXPECT_EQ(Describe(1638), "1638 ERROR_PRODUCT_VERSION (already current, nothing changed)");
    EXPECT_EQ(Describe(0), "0 ERROR_SUCCESS (updated)");
    for (int code : {1602, 1603, 1605, 1618, 1620, 1622, 1639})
        EXPECT_NE(Describe(code).find(" ERROR_"), std::string::npos) << code;
    EXPECT_EQ(Describe(42), "42");
}

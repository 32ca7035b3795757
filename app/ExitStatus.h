#pragma once
// The process exit status of SETUP.EXE: Windows' installer codes, derived from
// how start-up ended, the worker's exit code and why the worker failed
// (portable).

#include <string>

namespace exitstatus {

constexpr int kSuccess = 0;                 // ERROR_SUCCESS
constexpr int kUserExit = 1602;             // ERROR_INSTALL_USEREXIT
constexpr int kFailure = 1603;              // ERROR_INSTALL_FAILURE
constexpr int kUnknownProduct = 1605;       // ERROR_UNKNOWN_PRODUCT
constexpr int kAlreadyRunning = 1618;       // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kPackageInvalid = 1620;       // ERROR_INSTALL_PACKAGE_INVALID
constexpr int kLogFailure = 1622;           // ERROR_INSTALL_LOG_FAILURE
constexpr int kProductVersion = 1638;       // ERROR_PRODUCT_VERSION
constexpr int kInvalidCommandLine = 1639;   // ERROR_INVALID_COMMAND_LINE

// How far start-up got.
enum class Start {
    Ran,                    // the update was offered (wizard or quiet run)
    Help,                   // the usage box was shown
    UsageError,
    LogFailed,              // the log file could not be created
    DescriptionIncomplete,  // SETUP.INI is incomplete
    AlreadyRunning,         // another SETUP.EXE is running
};

// What a run that got to the update found out.
struct RunFacts {
    Start start = Start::Ran;
    bool workerRan = false;        // false: the wizard was left before the update began
    unsigned long workerCode = 0;  // the worker's exit code (engine/worker_outcome.h)
    bool productNotFound = false;  // no install folder (unattended without /dir, a wrong /dir)
    bool cancelledByUser = false;  // a person pressed Cancel in a box or the folder dialog
    // The medium is not what its vendor signed (start-up or the worker):
    // whatever else happened, it was refused as an invalid package.
    bool signatureRefused = false;
};

int ProcessExitStatus(const RunFacts& facts);

// "1638 ERROR_PRODUCT_VERSION (already current)" for the log.
std::string Describe(int status);

}  // namespace exitstatus

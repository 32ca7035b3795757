#include "app/ExitStatus.h"

#include "engine/worker_outcome.h"

namespace exitstatus {

int ProcessExitStatus(const RunFacts& facts) {
    switch (facts.start) {
    case Start::Help: return kSuccess;
    case Start::UsageError: return kInvalidCommandLine;
    case Start::LogFailed: return kLogFailure;
    case Start::DescriptionIncomplete: return kPackageInvalid;
    case Start::AlreadyRunning: return kAlreadyRunning;
    case Start::Ran: break;
    }
    if (facts.signatureRefused) return kPackageInvalid;
    // Leaving the wizard before the update began is the user's cancel.
    if (!facts.workerRan) return kUserExit;
    switch (facts.workerCode) {
    case worker::kUpdated: return kSuccess;
    case worker::kUpToDate: return kProductVersion;
    default: break;
    }
    // A missing product outranks a cancel: without a folder there was
    // nothing the user could have let go on.
    if (facts.productNotFound) return kUnknownProduct;
    if (facts.cancelledByUser) return kUserExit;
    return kFailure;
}

std::string Describe(int status) {
    const char* name = "";
    const char* meaning = "";
    switch (status) {
    case kSuccess: name = "ERROR_SUCCESS"; meaning = "updated"; break;
    case kUserExit: name = "ERROR_INSTALL_USEREXIT"; meaning = "cancelled, nothing changed"; break;
    case kFailure: name = "ERROR_INSTALL_FAILURE"; meaning = "failed, nothing changed"; break;
    case kUnknownProduct: name = "ERROR_UNKNOWN_PRODUCT"; meaning = "no install folder found"; break;
    case kAlreadyRunning: name = "ERROR_INSTALL_ALREADY_RUNNING"; meaning = "another SETUP.EXE is running"; break;
    case kPackageInvalid: name = "ERROR_INSTALL_PACKAGE_INVALID"; meaning = "SETUP.INI is incomplete, or the medium is not as signed"; break;
    case kLogFailure: name = "ERROR_INSTALL_LOG_FAILURE"; meaning = "the log file cannot be created"; break;
    case kProductVersion: name = "ERROR_PRODUCT_VERSION"; meaning = "already current, nothing changed"; break;
    case kInvalidCommandLine: name = "ERROR_INVALID_COMMAND_LINE"; meaning = "usage error"; break;
    default: return std::to_string(status);
    }
    return std::to_string(status) + " " + name + " (" + meaning + ")";
}

}  // namespace exitstatus

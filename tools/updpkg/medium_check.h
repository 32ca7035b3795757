#pragma once
// updpkg check: what SETUP.EXE on a medium will do, predicted without
// Windows, in the order SETUP.EXE meets it: SETUP.INI, the product's
// version, the package, the components' folders, the copies.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/setup_description.h"
#include "tools/updpkg/medium_signing.h"
#include "tools/updpkg/pe_version.h"

namespace updpkg {

struct CheckInput {
    std::string medium;
    std::optional<uint32_t> key;  // --key
    std::string keyFile;          // --key-file
    std::string product;          // --product: an installed product's folder
    std::optional<crypto::PublicKey> signedBy;  // --signed-by: the key SETUP.EXE must trust
};

struct ComponentCheck {
    setupini::Component component;
    std::optional<bool> found;      // its source folder is among the files; unknown without a key
    uint64_t files = 0;
};

// One file SETUP.EXE would copy.
struct PlannedCopy {
    enum State { Add, Replace, Same, Elsewhere };
    std::string folder;  // the component's destination, expanded (<SYSTEMDIR> kept)
    std::string file;    // below folder
    State state = Elsewhere;
    std::string from;    // where the medium has it, below FILES (the winner of several)
};

struct Problem {
    std::string what;        // for the user, in the terminal's encoding
    std::string setupShows;  // SETUP.EXE's message for it, if it shows one
};

struct CheckReport {
    std::string medium;
    bool setupExe = false;
    std::string setupExeNot;  // why the medium's SETUP.EXE is not the update wizard; empty when it is
    SignatureReport signature;
    bool iniFound = false;
    setupini::Description ini;
    std::vector<std::string> faults;  // the lines of SETUP.EXE's SETUP.INI box

    bool packageChecked = false;  // PACKAGE named and a key known
    bool packageSound = false;
    std::string packageError;
    uint64_t entries = 0, bytes = 0;
    std::vector<ComponentCheck> components;

    bool exeChecked = false;
    std::string exeFrom;  // where the medium has it, below FILES
    std::optional<FileVersion> exeVersion;

    bool withProduct = false;
    std::string productFolder;  // as given, the system's path
    std::optional<uint32_t> key;
    std::optional<FileVersion> installed;
    std::string outcome;  // "would update", "up to date", "no product"
    std::vector<PlannedCopy> copies;

    std::vector<Problem> problems;
    std::vector<std::string> notes;  // what could not be checked
    std::string firstBox;            // the first message SETUP.EXE would show
    int status = 0;                  // 0 the medium would work, 1 it would fail
};

// Throws FileError for what cannot be read (other than what SETUP.EXE
// itself would fail on, which the report holds).
CheckReport CheckMedium(const CheckInput& input);

std::string ReportText(const CheckReport& report);
// A message or name for the terminal; the line ends of
// SETUP.EXE's messages shown as " / ".
std::string ShownText(const std::string& text);
std::string ReportJson(const CheckReport& report);

}  // namespace updpkg

#pragma once
// The vendor's key and signed media: updpkg keygen, sign (and medium
// --sign-key), and what updpkg check predicts of SETUP.EXE's signature
// checks (app/MediumTrust.h), in the order SETUP.EXE makes them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/medium_signature.h"
#include "util/crypto.h"

namespace updpkg {

// --- Keys -------------------------------------------------------------------

// vendor.key's public twin: the name with ".pub" for its ".key", or with
// ".pub" added.
std::string PublicKeyPath(const std::string& keyPath);

// Makes a new key: keyPath (the private key, its owner's alone) and the
// public key beside it; neither may exist. Returns the key's ID. Throws
// FileError.
std::string MakeKeyFiles(const std::string& keyPath);

// Throw FileError for a file that cannot be read or is not of the form.
// ReadPublicKey takes a public key file, or a private one for its public
// key.
crypto::PrivateKey ReadPrivateKey(const std::string& path);
crypto::PublicKey ReadPublicKey(const std::string& path);

// --- Signing ----------------------------------------------------------------

// Throws FileError when the SETUP.EXE at path cannot take a key: it is
// signed with Authenticode already, or has no place for one.
void CheckKeyCanBeWritten(const std::string& setupExe);

struct SignSummary {
    std::string keyId;
    std::size_t files = 0;                  // listed in SETUP.SIG
    std::optional<std::string> replacedKey;  // SETUP.EXE trusted another key before
};

// Writes SETUP.SIG for the medium (SETUP.INI, then its package or every
// file below FILES) signed with key, and the key into the medium's
// SETUP.EXE. Throws FileError (nothing is written when a file cannot be
// read or SETUP.EXE cannot take the key).
SignSummary SignMedium(const std::string& medium, const crypto::PrivateKey& key);

// --- Predicting SETUP.EXE ---------------------------------------------------

struct SignedFileState {
    std::string name;  // code page 932
    uint64_t size = 0;
    std::string state;  // "matches", "size matches", "differs", "missing", "not checked"
};

struct SignatureReport {
    bool slot = false;                      // SETUP.EXE has the place for a key
    std::optional<std::string> trustedKey;  // the ID of the key it holds
    bool sigFound = false;
    std::string signedWith;  // the key ID SETUP.SIG names, if it can be read
    bool inForce = false;    // SETUP.EXE checks, and start-up accepts the medium
    std::string refusal;     // why SETUP.EXE refuses the medium ("" when it does not)
    std::vector<SignedFileState> files;

    // For the later stages.
    std::string medium;
    mediumsig::SignedFiles list;
};

// Start-up: the key SETUP.EXE trusts, SETUP.SIG against it, SETUP.INI
// against SETUP.SIG, and (for a sound SETUP.INI) the list against its
// package or FILES. Fills r.refusal when SETUP.EXE refuses there.
void CheckSignatureAtStart(const std::string& medium, SignatureReport& r);

// Stage 2: the package at path is the signed one; without a package, the
// files below FILES (the folder root, possibly missing) are the signed ones
// by name and size. "" or why SETUP.EXE refuses (also set in r.refusal).
std::string CheckSignedPackage(SignatureReport& r, const std::string& path);
std::string CheckSignedFilesFolder(SignatureReport& r, const std::string& root);

// Stage 4 without a package: the file at path, which SETUP.EXE installs from
// FILES\relative, has the signed bytes.
std::string CheckSignedCopy(SignatureReport& r, const std::string& relative, const std::string& path);

}  // namespace updpkg

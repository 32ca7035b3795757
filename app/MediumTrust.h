#pragma once
// SETUP.EXE's check of its medium against the vendor's signature: SETUP.SIG
// signed with the key written into SETUP.EXE (app/trusted_key.h), listing
// SETUP.INI, and the package or the files below FILES, each with its size
// and SHA-256. Without a key nothing is checked, as before there were keys.

#include <cstddef>
#include <optional>
#include <string>

#include "app/medium_signature.h"

class CMediumTrust {
public:
    // SETUP.EXE holds a key: the checks below apply. Tests may give a key
    // (nullopt: the one in the program, if any).
    bool InForce() const { return m_key.has_value(); }
    void UseKey(const std::optional<crypto::PublicKey>& key);

    // At start-up, with SETUP.INI's bytes as they were read (once, and
    // parsed from these bytes afterwards): SETUP.SIG must be signed with the
    // key and list SETUP.INI with exactly these bytes. Logs what it checked;
    // false, with the reason in why, when the medium is refused.
    bool Admit(const std::string& appDir, const std::string& iniBytes, std::string& why);
    // Once SETUP.INI is parsed: the list covers its package, or FILES.
    bool Covers(const std::string& package, std::string& why);

    // What was signed, for the worker: the package, and any file of the
    // medium by its full path (nullptr when it was not signed).
    const mediumsig::SignedFile* Package() const { return m_files.Find(m_package); }
    const mediumsig::SignedFile* Find(const std::string& fullPath) const;
    const mediumsig::SignedFiles& Files() const { return m_files; }

private:
    std::optional<crypto::PublicKey> m_key;
    bool m_keyChosen = false;
    std::string m_appDir;
    std::string m_package;
    mediumsig::SignedFiles m_files;
};

// The refusal of a medium that is not as signed: the box (exclamation, OK)
// with the one text, the reason in the log, and the fact that makes the
// exit status 1620. From either thread.
void RefuseUnsigned(const std::string& why);

// The whole of a file, read from one handle (nobody may write it
// meanwhile); false, with the last error set, when it cannot be opened or
// read or holds more than maxBytes.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

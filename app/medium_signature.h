#pragma once
// SETUP.SIG: the vendor's signed list of what a medium holds, written by
// updpkg and checked by SETUP.EXE (portable). A text of CRLF lines:
//
//     KVSIG 1
//     key <key ID, 16 hexadecimal digits>
//     file <size> <SHA-256, 64 hexadecimal digits> <name>
//     ...
//     sig <r || s, 128 hexadecimal digits>
//
// Names are UTF-8 paths relative to the medium's folder with '\'
// separators: SETUP.INI first, then the package that SETUP.INI names, or,
// when it names none, every file below FILES ("FILES\APP\Zomi7.EXE").
// The signature is the key's over the SHA-256 of every byte before the sig
// line. Numbers and digests have one spelling (decimal without leading
// zeros, lower-case hexadecimal), so no byte can change without changing
// what was signed.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "util/crypto.h"

namespace mediumsig {

constexpr char kFileName[] = "SETUP.SIG";
constexpr char kForm[] = "KVSIG 1";  // the first line
constexpr char kIniName[] = "SETUP.INI";
constexpr char kFilesFolder[] = "FILES";

// What the reader takes at most: a SETUP.SIG past these is refused before
// it costs more.
constexpr std::size_t kMaxBytes = 16u << 20;
constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxFiles = 100000;

struct SignedFile {
    uint64_t size = 0;
    crypto::Digest sha256{};
    std::string name;  // UTF-8
};

struct Content {
    std::string keyId;
    std::vector<SignedFile> files;
};

// Whether a file line can carry name: UTF-8, not empty, no control byte.
bool NameFits(const std::string& name);

// The whole text, signed with key (its ID in the key line). Throws
// crypto::Error, and std::invalid_argument for a name the form cannot carry
// (a line end, not UTF-8, too long).
std::string Format(const std::vector<SignedFile>& files, const crypto::PrivateKey& key);

struct Parsed {
    Content content;
    crypto::Signature signature{};
    crypto::Digest signedDigest{};  // of the bytes before the sig line
};
// nullopt with why set when bytes are not that form.
std::optional<Parsed> Parse(const std::string& bytes, std::string& why);

// Parsed, named trusted's ID in its key line, and signed by it.
std::optional<Content> CheckSigned(const std::string& bytes, const crypto::PublicKey& trusted, std::string& why);

// The signed files by the name Windows sees (names::Key).
class SignedFiles {
public:
    // false with why set for a list SETUP.EXE does not take: SETUP.INI not
    // first, a name twice (as Windows compares names), or a name that is not
    // a plain relative path a package could carry.
    bool Index(const Content& content, std::string& why);

    // The file at a path relative to the medium's folder, or nullptr.
    const SignedFile* Find(const std::string& relative) const;
    const SignedFile& Ini() const { return m_files.front(); }

    // Whether the list covers what SETUP.INI describes: with a package,
    // SETUP.INI and that package alone; without one, SETUP.INI and files
    // below FILES alone.
    bool Covers(const std::string& package, std::string& why) const;

    // The files after SETUP.INI (the package, or those below FILES): the
    // relative path and what was signed.
    std::vector<std::pair<std::string, const SignedFile*>> AfterIni() const;

private:
    std::vector<SignedFile> m_files;
    std::map<std::string, std::size_t> m_byKey;  // names::Key of the name
};

// "size 120 where 118 was signed" / "SHA-256 differs from the signed one" /
// "" when size and digest are the signed ones.
std::string Mismatch(const SignedFile& signedFile, uint64_t size, const crypto::Digest& sha256);

}  // namespace mediumsig

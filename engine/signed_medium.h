#pragma once
// The worker's side of the medium's signature (app/MediumTrust.h): the
// package summed as stage 2 reads it, the FILES folder held to the signed
// list, and each file below it summed as staging copies it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/medium_signature.h"

class CMediumTrust;

namespace signedmedium {

// The bytes of one file as they pass through the handle it is read from,
// counted and summed; inactive (free) when nothing was signed.
class Tally {
public:
    explicit Tally(const mediumsig::SignedFile* expected);
    bool Active() const { return m_expected != nullptr; }
    void Add(const void* data, std::size_t size);
    // Once, after the last byte: "" when what passed is what was signed,
    // else which check failed.
    std::string Mismatch();

private:
    const mediumsig::SignedFile* m_expected;
    std::optional<crypto::Sha256> m_hash;
    uint64_t m_size = 0;
};

// Stage 2 without a package: the files below appDir's FILES folder must be
// the signed ones exactly, none added, none missing, each of its signed
// size (staging sums each file it takes). "" or the reason.
std::string CheckFilesFolder(const CMediumTrust& trust, const std::string& appDir);

}  // namespace signedmedium

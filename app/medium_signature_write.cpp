// SETUP.SIG written (updpkg alone writes it; SETUP.EXE only reads).
#include <stdexcept>

#include "app/medium_signature.h"

namespace mediumsig {

std::string Format(const std::vector<SignedFile>& files, const crypto::PrivateKey& key) {
    std::string text = std::string(kForm) + "\r\nkey " + crypto::KeyId(key.point) + "\r\n";
    for (const SignedFile& f : files) {
        if (!NameFits(f.name)) throw std::invalid_argument("a name SETUP.SIG cannot carry");
        const std::string line = "file " + std::to_string(f.size) + " " + crypto::ToHex(f.sha256) + " " + f.name;
        if (line.size() > kMaxLine) throw std::invalid_argument("a name too long for SETUP.SIG: " + f.name);
        text += line + "\r\n";
    }
    if (files.size() > kMaxFiles) throw std::invalid_argument("more files than SETUP.SIG can list");
    const crypto::Signature sig = crypto::Sign(key, crypto::Sha256Of(text.data(), text.size()));
    return text + "sig " + crypto::ToHex(sig) + "\r\n";
}

}  // namespace mediumsig

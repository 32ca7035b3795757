#include "tools/updpkg/medium_signing.h"

#include <set>
#include <stdexcept>
#include <vector>

#include "engine/pkg/entry_name.h"
#include "tools/updpkg/build.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/secret_file.h"
#include "tools/updpkg/setup_ini.h"
#include "tools/updpkg/setup_key.h"
#include "util/name_key.h"

namespace updpkg {

namespace {

const char kSetupExe[] = "SETUP.EXE";

struct Summed {
    uint64_t size = 0;
    crypto::Digest sha256{};
};

Summed SumFile(const std::string& path) {
    InputFile in(path);
    crypto::Sha256 hash;
    std::vector<unsigned char> block(1 << 16);
    Summed s;
    for (;;) {
        const std::size_t got = in.Read(block.data(), block.size());
        if (got == 0) break;
        hash.Update(block.data(), got);
        s.size += got;
    }
    s.sha256 = hash.Final();
    return s;
}

std::string KeyText(const std::string& path) {
    InputFile in(path);
    if (in.Size() > 4096) throw FileError("'" + path + "': too large for a key file");
    std::string text(static_cast<std::size_t>(in.Size()), '\0');
    text.resize(in.ReadFull(text.data(), text.size()));
    return text;
}

// The first reason SETUP.EXE refuses is the one it shows and logs.
std::string Refuse(SignatureReport& r, const std::string& why) {
    if (r.refusal.empty()) r.refusal = why;
    r.inForce = false;
    return why;
}

void SetState(SignatureReport& r, const std::string& name, const std::string& state) {
    for (SignedFileState& f : r.files) {
        if (names::Key(f.name) == names::Key(name)) f.state = state;
    }
}

}  // namespace

std::string PublicKeyPath(const std::string& keyPath) {
    const std::string ext = ".key";
    if (keyPath.size() > ext.size() && keyPath.compare(keyPath.size() - ext.size(), ext.size(), ext) == 0)
        return keyPath.substr(0, keyPath.size() - ext.size()) + ".pub";
    return keyPath + ".pub";
}

std::string MakeKeyFiles(const std::string& keyPath) {
    const std::string pubPath = PublicKeyPath(keyPath);
    const crypto::PrivateKey key = crypto::GenerateKey();
    WriteNewSecretFile(keyPath, crypto::FormatPrivateKeyFile(key));
    try {
        OutputFile pub(pubPath, OutputFile::New);
        const std::string text = crypto::FormatPublicKeyFile(key.point);
        pub.Write(text.data(), text.size());
        pub.Close();
    } catch (...) {
        RemoveFileQuietly(keyPath);
        throw;
    }
    return crypto::KeyId(key.point);
}

crypto::PrivateKey ReadPrivateKey(const std::string& path) {
    std::string why;
    if (auto key = crypto::ParsePrivateKeyFile(KeyText(path), why)) return *key;
    throw FileError("'" + path + "': " + why);
}

crypto::PublicKey ReadPublicKey(const std::string& path) {
    const std::string text = KeyText(path);
    std::string why, whyPrivate;
    if (auto key = crypto::ParsePublicKeyFile(text, why)) return *key;
    if (auto key = crypto::ParsePrivateKeyFile(text, whyPrivate)) return key->point;
    throw FileError("'" + path + "': " + why);
}

void CheckKeyCanBeWritten(const std::string& setupExe) {
    const std::string image = ReadWholeFile(setupExe);
    if (IsAuthenticodeSigned(image)) {
        throw FileError("'" + setupExe +
                        "' is signed with Authenticode, and writing the key into it would break that signature: "
                        "give the unsigned SETUP.EXE, and sign it (scripts/sign.sh) after updpkg has written the key");
    }
    if (!FindKeySlot(image))
        throw FileError("'" + setupExe + "' has no place for a key: it is no SETUP.EXE that checks signed media");
}

SignSummary SignMedium(const std::string& medium, const crypto::PrivateKey& key) {
    const auto setupPath = FindBelow(medium, kSetupExe);
    if (!setupPath) throw FileError("'" + medium + "' holds no " + kSetupExe);
    CheckKeyCanBeWritten(*setupPath);
    std::string image = ReadWholeFile(*setupPath);
    const KeySlot slot = *FindKeySlot(image);
    const auto iniPath = FindBelow(medium, mediumsig::kIniName);
    if (!iniPath) throw FileError("'" + medium + "' holds no " + mediumsig::kIniName);

    const std::string ini = ReadWholeFile(*iniPath);
    std::vector<mediumsig::SignedFile> files{{ini.size(), crypto::Sha256Of(ini.data(), ini.size()), mediumsig::kIniName}};
    const std::string package = DescribeSetupIni(ini).package;
    if (!package.empty()) {
        const auto path = FindBelow(medium, package);
        if (!path || IsFolder(*path))
            throw FileError("the package " + package + " that SETUP.INI names is not on '" + medium + "'");
        const Summed s = SumFile(*path);
        files.push_back({s.size, s.sha256, package});
    } else if (const auto root = FindBelow(medium, mediumsig::kFilesFolder); root && IsFolder(*root)) {
        for (const SourceFile& f : CollectFiles(*root)) {
            const Summed s = SumFile(f.path);
            files.push_back({s.size, s.sha256, std::string(mediumsig::kFilesFolder) + "\\" + f.name});
        }
    }
    std::string text;
    try {
        text = mediumsig::Format(files, key);
    } catch (const std::invalid_argument& e) {
        throw FileError(e.what());
    }

    SignSummary summary;
    summary.keyId = crypto::KeyId(key.point);
    summary.files = files.size();
    if (slot.key && *slot.key != key.point) summary.replacedKey = crypto::KeyId(*slot.key);
    PutKey(image, slot, key.point);
    OutputFile exe(*setupPath);
    exe.Write(image.data(), image.size());
    exe.Close();
    const std::string sigPath =
        FindBelow(medium, mediumsig::kFileName).value_or(JoinNative(medium, mediumsig::kFileName));
    OutputFile sig(sigPath);
    sig.Write(text.data(), text.size());
    sig.Close();
    return summary;
}

void CheckSignatureAtStart(const std::string& medium, SignatureReport& r) {
    r.medium = medium;
    const auto setupPath = FindBelow(medium, kSetupExe);
    if (!setupPath) return;
    const std::optional<KeySlot> slot = FindKeySlot(ReadWholeFile(*setupPath));
    r.slot = slot.has_value();
    if (!slot || !slot->key) return;  // SETUP.EXE checks nothing
    r.trustedKey = crypto::KeyId(*slot->key);

    // As SETUP.EXE reads them: a missing SETUP.INI is empty.
    std::string ini, sig, why;
    if (const auto path = FindBelow(medium, mediumsig::kIniName)) ini = ReadWholeFile(*path);
    const auto sigPath = FindBelow(medium, mediumsig::kFileName);
    if (!sigPath || IsFolder(*sigPath)) {
        Refuse(r, std::string(mediumsig::kFileName) + " is not on the medium");
        return;
    }
    r.sigFound = true;
    sig = ReadWholeFile(*sigPath);
    if (const auto parsed = mediumsig::Parse(sig, why)) {
        r.signedWith = parsed->content.keyId;
        for (const mediumsig::SignedFile& f : parsed->content.files) r.files.push_back({f.name, f.size, "not checked"});
    }
    const std::optional<mediumsig::Content> content = mediumsig::CheckSigned(sig, *slot->key, why);
    if (!content || !r.list.Index(*content, why)) {
        Refuse(r, why);
        return;
    }
    const std::string mismatch = mediumsig::Mismatch(r.list.Ini(), ini.size(), crypto::Sha256Of(ini.data(), ini.size()));
    SetState(r, mediumsig::kIniName, mismatch.empty() ? "matches" : "differs");
    if (!mismatch.empty()) {
        Refuse(r, std::string(mediumsig::kIniName) + ": " + mismatch);
        return;
    }
    const setupini::Description d = DescribeSetupIni(ini);
    // An incomplete SETUP.INI ends SETUP.EXE before the list is looked at.
    if (d.faults.empty() && !r.list.Covers(d.package, why)) {
        Refuse(r, why);
        return;
    }
    r.inForce = true;
}

std::string CheckSignedPackage(SignatureReport& r, const std::string& path) {
    if (!r.inForce) return "";
    const auto listed = r.list.AfterIni();
    const Summed s = SumFile(path);
    const std::string mismatch = mediumsig::Mismatch(*listed.at(0).second, s.size, s.sha256);
    SetState(r, listed.at(0).first, mismatch.empty() ? "matches" : "differs");
    return mismatch.empty() ? "" : Refuse(r, listed.at(0).first + ": " + mismatch);
}

std::string CheckSignedFilesFolder(SignatureReport& r, const std::string& root) {
    if (!r.inForce) return "";
    const std::string prefix = std::string(mediumsig::kFilesFolder) + "\\";
    std::set<std::string> seen;
    std::vector<SourceFile> found;
    try {
        if (IsFolder(root)) found = CollectFiles(root);
    } catch (const FileError& e) {
        return Refuse(r, std::string("FILES holds a file that is not signed: ") + e.what());
    }
    for (const SourceFile& f : found) {
        const std::string name = prefix + f.name;
        const mediumsig::SignedFile* listed = r.list.Find(name);
        if (!listed) return Refuse(r, name + ": not listed in " + mediumsig::kFileName);
        if (listed->size != f.size) {
            SetState(r, name, "differs");
            return Refuse(r, name + ": size " + std::to_string(f.size) + " where " + std::to_string(listed->size) +
                                 " was signed");
        }
        SetState(r, name, "size matches");
        seen.insert(names::Key(name));
    }
    for (const auto& [name, file] : r.list.AfterIni()) {
        if (seen.count(names::Key(name))) continue;
        SetState(r, name, "missing");
        return Refuse(r, name + ": signed, but not on the medium");
    }
    return "";
}

std::string CheckSignedCopy(SignatureReport& r, const std::string& relative, const std::string& path) {
    if (!r.inForce) return "";
    const std::string name = std::string(mediumsig::kFilesFolder) + "\\" + relative;
    const mediumsig::SignedFile* listed = r.list.Find(name);
    if (!listed) return Refuse(r, name + ": not signed");
    const Summed s = SumFile(path);
    const std::string mismatch = mediumsig::Mismatch(*listed, s.size, s.sha256);
    SetState(r, name, mismatch.empty() ? "matches" : "differs");
    return mismatch.empty() ? "" : Refuse(r, name + ": " + mismatch);
}

}  // namespace updpkg

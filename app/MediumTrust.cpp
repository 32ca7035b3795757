#include "app/MediumTrust.h"

#include <windows.h>

#include <vector>

#include "app/SetupApp.h"
#include "app/trusted_key.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/wide.h"
#include "res/texts.h"
#include "util/long_path.h"
#include "util/name_key.h"
#include "util/path.h"
#include "util/syserr.h"

void CMediumTrust::UseKey(const std::optional<crypto::PublicKey>& key) {
    m_key = key;
    m_keyChosen = true;
}

bool CMediumTrust::Admit(const std::string& appDir, const std::string& iniBytes, std::string& why) {
    if (!m_keyChosen) UseKey(trustedkey::Trusted());
    m_appDir = appDir;
    if (!m_key) {
        platform::Log("signature: SETUP.EXE trusts no key; no signature checked");
        return true;
    }
    const std::string id = crypto::KeyId(*m_key);
    platform::Log("signature: SETUP.EXE trusts key " + id);
    try {
        std::string sig;
        if (!ReadWholeFile(JoinPath(appDir, mediumsig::kFileName), mediumsig::kMaxBytes, sig)) {
            why = std::string(mediumsig::kFileName) + " cannot be read: " + GetSystemErrorText(::GetLastError());
            return false;
        }
        const std::optional<mediumsig::Content> content = mediumsig::CheckSigned(sig, *m_key, why);
        if (!content || !m_files.Index(*content, why)) return false;
        const std::string mismatch =
            mediumsig::Mismatch(m_files.Ini(), iniBytes.size(), crypto::Sha256Of(iniBytes.data(), iniBytes.size()));
        if (!mismatch.empty()) {
            why = std::string(mediumsig::kIniName) + ": " + mismatch;
            return false;
        }
    } catch (const crypto::Error& e) {
        why = e.what();
        return false;
    }
    platform::Log(std::string("signature: ") + mediumsig::kFileName + " is signed with key " + id + ", " +
                  mediumsig::kIniName + " matches it (" + std::to_string(iniBytes.size()) + " bytes)");
    return true;
}

bool CMediumTrust::Covers(const std::string& package, std::string& why) {
    if (!InForce()) return true;
    m_package = package;
    return m_files.Covers(package, why);
}

const mediumsig::SignedFile* CMediumTrust::Find(const std::string& fullPath) const {
    if (!InForce()) return nullptr;
    // "." and ".." are resolved as the system resolves them when it opens
    // the file, so the name looked up is the file's.
    const std::string full = FullPath(fullPath);
    const std::string dirKey = names::Key(m_appDir);
    if (full.size() <= m_appDir.size() || names::Key(full).compare(0, dirKey.size(), dirKey) != 0)
        return nullptr;
    return m_files.Find(full.substr(m_appDir.size()));
}

void RefuseUnsigned(const std::string& why) {
    platform::Log("signature: refused: " + why);
    GetApp().m_bSignatureRefused = true;
    platform::AppMessageBox(texts::kSignatureRefused, MB_ICONEXCLAMATION | MB_OK);
}

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    platform::Handle h(::CreateFileW(platform::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(h.get(), &size)) return false;
    if (static_cast<ULONGLONG>(size.QuadPart) > maxBytes) {
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    // Up to one byte past the size it had: a file that grows meanwhile is
    // refused rather than cut.
    bytes.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t got = 0;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n, nullptr)) return false;
        if (n == 0) break;
        got += n;
        if (got == bytes.size()) {
            if (got > maxBytes) {
                ::SetLastError(ERROR_FILE_TOO_LARGE);
                return false;
            }
            bytes.resize(bytes.size() * 2);
        }
    }
    bytes.resize(got);
    return true;
}

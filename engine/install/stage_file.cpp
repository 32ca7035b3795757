#include "engine/install/stage_file.h"

#include <windows.h>
#include <aclapi.h>

#include <utility>
#include <vector>

#include "res/texts.h"
#include "app/MediumTrust.h"
#include "engine/placed_files.h"
#include "engine/signed_medium.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/timing.h"
#include "platform/wide.h"
#include "util/file_facts.h"
#include "util/fs.h"
#include "util/syserr.h"

namespace install {

namespace {

constexpr DWORD kCopyBlock = 256 * 1024;
constexpr unsigned kPollMs = 50;
// A copy that does not settle within this long counts as failed: a file
// system that keeps coarser times than the source's would never match.
constexpr unsigned long long kSettleLimitMs = 30000;
// What a staged copy keeps of its source's attributes: never read-only
// (files from a CD are), never anything that is not a plain file's.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Waits until dest shows source's size and modification time. On failure
// why holds the reason to show the user.
bool WaitForCopyToSettle(const std::string& source, const std::string& dest, std::string& why) {
    const unsigned long long deadline = platform::ScaledTickCount() + kSettleLimitMs;
    platform::FileStatus src;
    while (!platform::File::GetStatus(source, src)) {
        if (platform::ScaledTickCount() >= deadline) {
            why = std::string(texts::kSourceStatusUnreadable) + source;
            return false;
        }
        platform::Pause(kPollMs);
    }
    platform::FileStatus dst;
    for (;;) {
        if (platform::File::GetStatus(dest, dst) && dst.size == src.size && dst.mtime == src.mtime) return true;
        if (platform::ScaledTickCount() >= deadline) {
            why = std::string(texts::kCopyNotSettled) + dest;
            return false;
        }
        platform::Pause(kPollMs);
    }
}

// A file moved from the private work folder still carries the folder's
// protected access list, which would keep the product's users out of it:
// it takes what its new folder hands down instead, as a copy would.
bool InheritFromNewFolder(const std::string& path) {
    ACL empty;
    if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return false;
    std::wstring wide = platform::Wide(path);
    const DWORD err = ::SetNamedSecurityInfoW(
        wide.data(), SE_FILE_OBJECT,
        DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, &empty, nullptr);
    ::SetLastError(err);
    return err == ERROR_SUCCESS;
}

// Copies the open source to a new file at staged, with the source's last
// write time, and keeps it open in out; every byte copied goes through the
// tally. false with the last error set; a part-made copy is removed.
bool CopyFromHandle(HANDLE source, const FileFacts& facts, const std::string& staged, platform::Handle& out,
                    signedmedium::Tally& tally) {
    const DWORD attributes = facts.attributes & kKeptAttributes;
    out.reset(::CreateFileW(platform::Wide(staged).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                       // A link planted at the free name is a file that exists, not a way elsewhere.
                                       (attributes ? attributes : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_SEQUENTIAL_SCAN |
                                           FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr));
    if (!out) return false;
    std::vector<unsigned char> block(kCopyBlock);
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(source, block.data(), kCopyBlock, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        tally.Add(block.data(), got);
        DWORD written = 0;
        if (!::WriteFile(out.get(), block.data(), got, &written, nullptr) || written != got) {
            if (written != got && ::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_DISK_FULL);
            ok = false;
            break;
        }
    }
    if (ok) ok = ::SetFileTime(out.get(), nullptr, nullptr, &facts.written) != FALSE;
    if (ok) return true;
    const DWORD err = ::GetLastError();
    out.reset();
    ::DeleteFileW(platform::Wide(staged).c_str());
    ::SetLastError(err);
    return false;
}

}  // namespace

StageResult StageFile(const std::string& source, const std::string& staged, const CPlacedFiles& placed,
                      bool mayMove, platform::Handle& held, std::string& why, const CMediumTrust* signedList) {
    // One handle for the check and the taking: nobody may write the file
    // meanwhile, and what is moved or copied is the file that was checked.
    platform::Handle in(::CreateFileW(platform::Wide(source).c_str(), GENERIC_READ | (mayMove ? DELETE : 0), FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                      nullptr));
    if (!in) {
        why = GetSystemErrorText(::GetLastError());
        return StageResult::Failed;
    }
    FileFacts facts;
    if (!ReadFileFacts(in.get(), facts)) {
        why = GetSystemErrorText(::GetLastError());
        return StageResult::Failed;
    }
    if (!placed.Confirms(source, facts)) return StageResult::Refused;
    const mediumsig::SignedFile* expected = signedList ? signedList->Find(source) : nullptr;
    if (signedList && (!expected || expected->size != facts.size)) {
        why = source + (expected ? ": not of its signed size" : ": not signed");
        return StageResult::NotSigned;
    }
    signedmedium::Tally tally(expected);

    if (mayMove && !expected) {
        if (RenameOpenFile(in.get(), staged, false)) {
            if (InheritFromNewFolder(staged)) {
                held = std::move(in);
                return StageResult::Done;
            }
            // Put back, and copied below instead.
            const DWORD err = ::GetLastError();
            if (!RenameOpenFile(in.get(), source, false)) {
                why = GetSystemErrorText(err);
                return StageResult::Failed;
            }
        }
        // Another volume (or a rename the system refuses): copied.
    }
    platform::Handle copy;
    if (!CopyFromHandle(in.get(), facts, staged, copy, tally)) {
        why = GetSystemErrorText(::GetLastError());
        return StageResult::Failed;
    }
    // Refused before anything is committed; the caller removes the copy.
    if (std::string mismatch = tally.Mismatch(); !mismatch.empty()) {
        why = source + ": " + mismatch;
        return StageResult::NotSigned;
    }
    if (!WaitForCopyToSettle(source, staged, why)) return StageResult::Failed;
    held = std::move(copy);
    return StageResult::Done;
}

}  // namespace install

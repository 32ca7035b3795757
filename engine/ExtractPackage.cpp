// Stage 2: the package, unpacked entry by entry into the work folder's FILES
// folder.
#include <map>

#include "app/SetupApp.h"
#include "engine/CopyThread.h"
#include "engine/pkg/entry_name.h"
#include "res/texts.h"
#include "engine/pkg/reader.h"
#include "engine/signed_medium.h"
#include "engine/unexpected_error.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/mbcs.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "platform/wide.h"
#include "product/identity.h"
#include "util/file_facts.h"
#include "util/fs.h"
#include "util/path.h"
#include "util/syserr.h"

namespace {

constexpr unsigned kClosingPauseMs = 1000;

// The package file as the reader's byte source; read failures arrive as
// platform::FileException. Every byte read is counted in the tally, which
// sums it when the package was signed.
class FileSource : public pkg::ReadAheadSource {
public:
    FileSource(platform::File& file, signedmedium::Tally& tally) : m_file(file), m_tally(tally) {}

    // The rest of the file, into the tally alone.
    void Drain() {
        unsigned char block[32768];
        while (const std::size_t n = ReadRaw(block, sizeof block)) (void)n;
    }

protected:
    std::size_t ReadRaw(void* buffer, std::size_t size) override {
        const UINT n = m_file.Read(buffer, static_cast<UINT>(size));
        m_tally.Add(buffer, n);
        return n;
    }

private:
    platform::File& m_file;
    signedmedium::Tally& m_tally;
};

// The package is not the one its vendor signed.
struct NotSigned {
    std::string why;
};

// Placing an entry failed: reported as a damaged package, like the format
// errors, with its own reason kept for whoever looks.
struct PlaceFailed {
    DWORD error;
};

// Each entry is inflated straight into its place below FILES, in the private
// work folder that nobody else may write: one write of its bytes, no scratch
// file and no rename. A new name gets a new file, never one that was there
// already; a later entry with an earlier one's name (without regard to case,
// as Windows compares names) empties and rewrites that earlier file, opened
// as itself, so it keeps the earlier spelling as on Windows. An entry that
// fails its checks is deleted again (the stage fails, and the clean-up
// removes the work folder whole).
class PlacingSink : public pkg::EntrySink {
public:
    PlacingSink(const std::string& filesFolder, COPYPROGRESS& progress, CPlacedFiles& placed)
        : m_files(filesFolder), m_progress(progress), m_placed(placed) {}

    void BeginEntry(const pkg::EntryInfo& info) override {
        // A file where a folder is needed, or the other way round, is the
        // package's fault: refused before anything of the entry is written.
        if (const auto fault = m_layout.Add(info.name))
            throw pkg::FormatError(*fault, 0, info.index, info.name, info.start);
        const auto earlier = m_earlier.find(pkg::EntryNameKey(info.name));
        // The name rule let only code page 932 through; the file's own name
        // is what it reads as.
        if (!mbcs::Cp932ToUtf8(info.name, m_name)) throw PlaceFailed{ERROR_NO_UNICODE_TRANSLATION};
        if (earlier == m_earlier.end()) {
            m_path = JoinPath(m_files, m_name);
            m_out = CreateNew(m_path);
        } else {
            m_path = earlier->second.path;
            m_out = Reopen(earlier->second);
        }
    }
    void Write(const unsigned char* data, std::size_t size) override {
        DWORD written = 0;
        if (!::WriteFile(m_out.get(), data, static_cast<DWORD>(size), &written, nullptr))
            throw platform::FileException(::GetLastError());
        if (written != size) throw platform::FileException(ERROR_DISK_FULL);
    }
    void EntryVerified(const pkg::EntryInfo& info) override {
        // A time set through the handle is one the file system leaves alone
        // when the handle closes; a time it keeps itself may move then, and
        // the file would no longer match what is recorded of it.
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        FileFacts written;
        if (!::SetFileTime(m_out.get(), nullptr, nullptr, &now) || !ReadFileFacts(m_out.get(), written))
            throw platform::FileException(::GetLastError());
        m_out.reset();
        m_placed.Record(m_path, written);
        m_earlier[pkg::EntryNameKey(info.name)] = Placed{m_path, written.index};
        if (platform::LogIsOpen())
            platform::Log("placed: " + m_name + " (" + std::to_string(info.uncompressedSize) + " bytes)");
        m_progress.nPos = static_cast<LONG>(static_cast<uint32_t>(info.end) >> 16);
    }

    // The entry being written failed: its bytes go, so that nothing
    // unverified lies at a name even until the clean-up.
    void DiscardUnverified() {
        if (!m_out) return;
        m_out.reset();
        ::DeleteFileW(platform::Wide(m_path).c_str());
    }

private:
    struct Placed {
        std::string path;  // as first spelled
        ULONGLONG index = 0;
    };

    // A new file at path, its folders made as needed.
    static platform::Handle CreateNew(const std::string& path) {
        auto create = [&] {
            return platform::Handle(
                ::CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        };
        platform::Handle h = create();
        if (!h && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
            if (!CreateDirectoryPath(PathBeforeLastBackslash(path))) throw PlaceFailed{::GetLastError()};
            h = create();
        }
        if (!h) throw PlaceFailed{::GetLastError()};
        return h;
    }

    // The earlier entry's file, if it still is that file (never a link or
    // another file put in its place), emptied for the later entry.
    static platform::Handle Reopen(const Placed& earlier) {
        platform::Handle h(::CreateFileW(platform::Wide(earlier.path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!h) throw PlaceFailed{::GetLastError()};
        FileFacts facts;
        if (!ReadFileFacts(h.get(), facts)) throw PlaceFailed{::GetLastError()};
        if (facts.index != earlier.index || facts.links != 1 || (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            throw PlaceFailed{ERROR_FILE_EXISTS};
        if (!::SetEndOfFile(h.get())) throw PlaceFailed{::GetLastError()};
        return h;
    }

    std::string m_files;
    COPYPROGRESS& m_progress;
    CPlacedFiles& m_placed;
    platform::Handle m_out;
    std::string m_name;  // the entry's name, UTF-8
    std::string m_path;
    pkg::PlacementCheck m_layout;
    std::map<std::string, Placed> m_earlier;  // by the name's key
};

void ShowSystemError(DWORD error) {
    platform::AppMessageBox(GetSystemErrorText(error), MB_ICONEXCLAMATION | MB_OK);
}

}  // namespace

int CCopyThread::ExtractPackage(std::string& workFolder) {
    CSetupApp& app = GetApp();
    if (app.m_info.m_strPackage.empty()) {
        workFolder = app.GetAppDir();
        if (!app.m_trust.InForce()) return TRUE;
        // Only what was signed is taken from FILES: the list here, each
        // file's bytes as staging copies it.
        const std::string why = signedmedium::CheckFilesFolder(app.m_trust, workFolder);
        if (!why.empty()) {
            RefuseUnsigned(why);
            return FALSE;
        }
        platform::Log("signature: the files below FILES are the signed ones");
        m_signedFiles = &app.m_trust;
        return TRUE;
    }

    const std::string temp = TempFolder();
    if (temp.empty()) {
        ShowSystemError(::GetLastError());
        return FALSE;
    }
    // Known before anything can fail, so the worker's clean-up removes it.
    workFolder = JoinPath(temp, product::kZomi7.workFolder);

    if (!RemoveDirectoryTree(workFolder)) {
        DWORD error = ::GetLastError();
        if (error != ERROR_PATH_NOT_FOUND) {
            ShowSystemError(error);
            return FALSE;
        }
    }
    // Made afresh as the program's own: never an old folder reused.
    if (!m_workFolderHold.Create(workFolder)) {
        ShowSystemError(::GetLastError());
        return FALSE;
    }
    m_placed.Begin();
    const std::string filesFolder = JoinPath(workFolder, "FILES");
    if (!CreateDirectoryPath(filesFolder)) {
        ShowSystemError(::GetLastError());
        return FALSE;
    }

    const uint32_t key = app.m_productCheck.GetLibraryCrc();

    int ok = FALSE;
    try {
        platform::File package(JoinPath(app.GetAppDir(), app.m_info.m_strPackage),
                               platform::File::modeRead | platform::File::shareDenyWrite);
        m_progress.nMax = static_cast<LONG>(static_cast<uint32_t>(package.GetLength()) >> 16);
        platform::Log("package: " + package.GetFilePath() + ", " + std::to_string(package.GetLength()) + " bytes");

        // Summed as it is read, from the one handle that nobody may write
        // meanwhile, and compared before anything of it is installed.
        signedmedium::Tally tally(app.m_trust.Package());
        FileSource source(package, tally);
        auto checkSigned = [&] {
            source.Drain();
            std::string why = tally.Mismatch();
            if (!why.empty()) throw NotSigned{app.m_info.m_strPackage + ": " + why};
        };
        PlacingSink sink(filesFolder, m_progress, m_placed);
        try {
            pkg::ReadPackage(source, key, sink);
        } catch (...) {
            sink.DiscardUnverified();
            // A package that is not the signed one is refused as that,
            // whatever its bytes made the reader say.
            if (tally.Active()) checkSigned();
            throw;
        }
        if (tally.Active()) {
            checkSigned();
            platform::Log("signature: the package is the signed one");
        }
        platform::Pause(kClosingPauseMs);
        package.Close();
        ok = TRUE;
    } catch (const NotSigned& e) {
        // Nothing of it stays, not even until the clean-up.
        RemoveDirectoryTree(filesFolder);
        RefuseUnsigned(e.why);
    } catch (const platform::FileException& e) {
        ShowUnexpectedError(e.error);
    } catch (const pkg::FormatError&) {
        platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
    } catch (const PlaceFailed&) {
        platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
    }

    return ok;
}

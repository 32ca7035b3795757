// Stage 2: the package, unpacked entry by entry into the work folder's FILES
// folder through a scratch file.
#include "app/SetupApp.h"
#include "engine/CopyThread.h"
#include "engine/entry_name.h"
#include "res/texts.h"
#include "engine/package_reader.h"
#include "engine/unexpected_error.h"
#include "platform/file.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "util/fs.h"
#include "util/path.h"
#include "util/syserr.h"

namespace {

constexpr unsigned kClosingPauseMs = 1000;

// The package file as the reader's byte source; read failures arrive as
// platform::FileException.
class FileSource : public pkg::ByteSource {
public:
    explicit FileSource(platform::File& file) : m_file(file) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        return m_file.Read(buffer, static_cast<UINT>(size));
    }

private:
    platform::File& m_file;
};

// Placing an entry failed: reported as a damaged package, like the format
// errors, with its own reason kept for whoever looks.
struct PlaceFailed {
    DWORD error;
};

// Inflated bytes go to the scratch file in the private work folder; a
// verified entry is renamed from there to its place below FILES (one write of
// its bytes, not two); the next entry makes the scratch file afresh, and it is
// held again from the end of the package until the clean-up.
class ScratchSink : public pkg::EntrySink {
public:
    ScratchSink(const std::string& scratch, const std::string& filesFolder, COPYPROGRESS& progress,
                CPlacedFiles& placed)
        : m_scratch(scratch), m_files(filesFolder), m_progress(progress), m_placed(placed) {}

    void BeginEntry(const pkg::EntryInfo&) override {
        m_out.Open(m_scratch, platform::File::modeCreate | platform::File::modeWrite |
                                  platform::File::shareExclusive);
    }
    void Write(const unsigned char* data, std::size_t size) override {
        m_out.Write(data, static_cast<UINT>(size));
    }
    void EndData(const pkg::EntryInfo&) override {
        m_out.GetInformation(m_written);
        m_out.Close();
    }
    void EntryVerified(const pkg::EntryInfo& info) override {
        if (m_out.IsOpen()) EndData(info);
        // Refused before the rename, as updpkg refuses it, rather than by it.
        m_layout.Place(info.name, info.index, info.end);
        const std::string destination = JoinPath(m_files, info.name);
        if (!MoveFileCreatingPath(m_scratch, destination)) throw PlaceFailed{::GetLastError()};
        m_placed.Record(m_written);
        platform::Log("placed: " + info.name + " (" + std::to_string(info.uncompressedSize) + " bytes)");
        m_progress.nPos = static_cast<LONG>(static_cast<uint32_t>(info.end) >> 16);
    }

private:
    std::string m_scratch;
    std::string m_files;
    COPYPROGRESS& m_progress;
    CPlacedFiles& m_placed;
    platform::File m_out;
    BY_HANDLE_FILE_INFORMATION m_written{};  // of the entry's bytes in the scratch file
    pkg::PlacementCheck m_layout;
};

void ShowSystemError(DWORD error) {
    platform::AppMessageBox(GetSystemErrorText(error), MB_ICONEXCLAMATION | MB_OK);
}

}  // namespace

int CCopyThread::ExtractPackage(std::string& workFolder) {
    CSetupApp& app = GetApp();
    if (app.m_info.m_strPackage.empty()) {
        workFolder = app.GetAppDir();
        return TRUE;
    }

    char temp[MAX_PATH] = {};
    DWORD n = ::GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) {
        DWORD error = n == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW;
        ShowSystemError(error);
        return FALSE;
    }
    // Known before anything can fail, so the worker's clean-up removes it.
    workFolder = JoinPath(temp, "KVUPDATE");

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
    const std::string scratch = CreateTempFileNameIn(workFolder);

    int ok = FALSE;
    try {
        if (scratch.empty()) throw platform::FileException(::GetLastError());
        platform::File package(JoinPath(app.GetAppDir(), app.m_info.m_strPackage),
                               platform::File::modeRead | platform::File::shareDenyWrite);
        m_progress.nMax = static_cast<LONG>(static_cast<uint32_t>(package.GetLength()) >> 16);
        platform::Log("package: " + package.GetFilePath() + ", " + std::to_string(package.GetLength()) + " bytes");

        FileSource source(package);
        pkg::PackageReader reader(source, key);
        reader.ReadHeader();
        ScratchSink sink(scratch, filesFolder, m_progress, m_placed);
        while (reader.ReadEntry(sink)) {
        }
        // The scratch name stays the program's until the clean-up deletes it.
        platform::File(scratch, platform::File::modeCreate | platform::File::modeWrite |
                                    platform::File::shareExclusive);
        platform::Pause(kClosingPauseMs);
        package.Close();
        ok = TRUE;
    } catch (const platform::FileException& e) {
        ShowUnexpectedError(e.error);
    } catch (const pkg::FormatError&) {
        platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
    } catch (const PlaceFailed&) {
        platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
    }

    if (!scratch.empty()) ::DeleteFileA(scratch.c_str());
    return ok;
}

#include "engine/install/volume.h"

#include <map>

#include "engine/install/retry.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/prompt.h"
#include "platform/wide.h"
#include "res/texts.h"
#include "util/fs.h"
#include "util/long_path.h"
#include "util/name_key.h"
#include "util/path.h"

namespace install {

namespace {

bool SystemVolumeSpace(const std::string& folder, VolumeSpace& space) {
    std::string path = folder;
    if (!EndsWithBackslash(path)) path += '\\';
    const std::string root = VolumeRootOf(path);
    if (root.empty()) return false;
    ULARGE_INTEGER available, total, totalFree;
    if (!::GetDiskFreeSpaceExW(platform::Wide(path).c_str(), &available, &total, &totalFree)) return false;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    space.clusterBytes = ::GetDiskFreeSpaceW(platform::Wide(root).c_str(), &sectorsPerCluster, &bytesPerSector,
                                             &freeClusters, &clusters)
                             ? ULONGLONG{sectorsPerCluster} * bytesPerSector
                             : 0;
    space.root = root;
    space.freeBytes = available.QuadPart;
    return true;
}

VolumeSpaceQuery g_spaceQuery = SystemVolumeSpace;

// Data of a file on disk.
DWORD FlushFile(const std::string& path) {
    platform::Handle h(::CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h) return ::GetLastError();
    if (!::FlushFileBuffers(h.get())) return ::GetLastError();
    return 0;
}

// Everything written to the volume with this root ("C:\") on disk, in one
// call (an elevated process may flush a whole volume).
enum class VolumeFlush { Done, Unsupported, NotPossible };
VolumeFlush FlushVolume(const std::string& root) {
    if (root.size() < 2 || root[1] != ':') return VolumeFlush::NotPossible;
    const std::string device = std::string("\\\\.\\") + root.substr(0, 2);
    platform::Handle h(::CreateFileW(platform::Wide(device).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return VolumeFlush::NotPossible;  // not elevated, a network drive
    if (::FlushFileBuffers(h.get())) return VolumeFlush::Done;
    const DWORD err = ::GetLastError();
    return err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED ? VolumeFlush::Unsupported
                                                                        : VolumeFlush::NotPossible;
}

}  // namespace

VolumeSpaceQuery SetVolumeSpaceQuery(VolumeSpaceQuery query) {
    VolumeSpaceQuery previous = g_spaceQuery;
    g_spaceQuery = query ? query : SystemVolumeSpace;
    return previous;
}

// Room first: every volume must hold the staged copies (the old files
// stay until the end) before the first byte is written.
bool CheckRoom(const plan::Plan& p, plan::DestinationView& view) {
    struct Volume {
        VolumeSpace space;
        ULONGLONG need = 0;
    };
    std::map<std::string, Volume> volumes;  // by the root's key
    std::map<std::string, std::string> rootOf;  // folder -> the root's key
    // A file moved where it lies on the destination's volume takes no
    // room there; its copies for other components do.
    std::string movedFrom;  // the key of the work folder's root; "" when everything is copied
    for (const plan::File& f : p.files) {
        if (!f.move) continue;
        VolumeSpace space;  // the update's own files lie in one work folder
        if (g_spaceQuery(plan::ParentFolder(f.source), space)) movedFrom = names::Key(space.root);
        break;
    }
    for (const plan::File& item : p.files) {
        std::string folder = plan::ParentFolder(item.dest);
        while (!folder.empty() && !view.IsFolder(folder)) folder = plan::ParentFolder(folder);
        if (folder.empty()) continue;
        auto known = rootOf.find(folder);
        if (known == rootOf.end()) {
            VolumeSpace space;
            if (!g_spaceQuery(folder, space)) continue;  // unknown: the copy will tell
            const std::string key = names::Key(space.root);
            volumes.emplace(key, Volume{space, 0});
            known = rootOf.emplace(folder, key).first;
        }
        if (item.move && known->second == movedFrom) continue;
        platform::FileStatus status;
        if (!platform::File::GetStatus(item.source, status)) continue;  // staging will say why
        Volume& volume = volumes[known->second];
        const ULONGLONG cluster = volume.space.clusterBytes ? volume.space.clusterBytes : 1;
        volume.need += (status.size + cluster - 1) / cluster * cluster;
    }
    for (const auto& entry : volumes) {
        const Volume& v = entry.second;
        if (v.need <= v.space.freeBytes) continue;
        const ULONGLONG missingMiB = (v.need - v.space.freeBytes + (1ull << 20) - 1) >> 20;
        std::string text = texts::kNoRoomFormat;
        text.replace(text.find("%s"), 2, v.space.root);
        text.replace(text.find("%s"), 2, std::to_string(missingMiB));
        platform::AppMessageBox(text, MB_ICONEXCLAMATION | MB_OK);
        return false;
    }
    return true;
}

// Each destination volume flushed at once where the system allows it,
// else each new file. A system that has no volume flush at all (Wine,
// whose Linux file systems write a file's data before a rename that
// replaces it) is left to itself: a flush per file there costs more than
// the copy.
bool FlushCommitted(const plan::Plan& p, ProgressSink& progress) {
    std::map<std::string, bool> flushed;  // volume root's key -> nothing more to do
    std::map<std::string, std::string> rootOf;  // folder -> volume root ("" unknown)
    for (const journal::Record& r : p.commitRecords) {
        const std::string folder = plan::ParentFolder(r.dest);
        auto root = rootOf.find(folder);
        if (root == rootOf.end()) {
            root = rootOf.emplace(folder, VolumeRootOf(r.dest)).first;
        }
        const std::string key = names::Key(root->second);
        auto volume = flushed.find(key);
        if (volume == flushed.end())
            volume = flushed
                         .emplace(key, !key.empty() && FlushVolume(root->second) != VolumeFlush::NotPossible)
                         .first;
        if (volume->second) continue;
        if (!RetryingSystem([&] {
                progress.CurrentFile(r.dest);
                return FlushFile(r.dest);
            }))
            return false;
    }
    return true;
}

}  // namespace install

#include "tools/updpkg/build.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "engine/pkg/entry_name.h"
#include "engine/pkg/format.h"
#include "engine/pkg/writer.h"
#include "tools/updpkg/compress.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/ordered_pool.h"
#include "tools/updpkg/progress.h"
#include "util/name_key.h"

namespace updpkg {

namespace {

// Files up to this size are read whole and compressed on the pool's threads;
// larger ones are streamed through zlib in order, so memory stays bounded.
constexpr uint64_t kWholeFileLimit = 32ull << 20;
// How far the pool may run ahead of the writer: a few files per thread, and
// no more than this many bytes of source in hand.
constexpr std::size_t kAheadPerWorker = 16;
constexpr uint64_t kAheadBytes = 128ull << 20;

struct Walked {
    std::vector<std::string> key;  // code page 932 components: the sort order
    SourceFile file;
};

void Walk(const std::string& folder, const std::string& entryPrefix, const std::string& namePrefix,
          std::vector<std::string>& keyPrefix, std::vector<Walked>& out) {
    for (const FolderEntry& e : ListFolder(folder)) {
        const std::string path = JoinNative(folder, e.name);
        if (e.kind == FolderEntry::Other) {
            throw FileError("'" + path + "': neither a file nor a folder (a link to a folder is not followed)");
        }
        const std::string component = ComponentToPackage(e.name, path);
        const std::string entryName = entryPrefix.empty() ? component : entryPrefix + "\\" + component;
        const std::string name = namePrefix.empty() ? e.name : namePrefix + "\\" + e.name;
        if (keyPrefix.size() >= pkg::kMaxNameComponents) {
            throw FileError("'" + path + "': more than " + std::to_string(pkg::kMaxNameComponents) + " folder levels");
        }
        keyPrefix.push_back(component);
        if (e.kind == FolderEntry::Folder) {
            Walk(path, entryName, name, keyPrefix, out);
        } else {
            // The reader's own rule, so that nothing is built that SETUP.EXE refuses.
            if (const auto fault = pkg::EntryNameFault(entryName)) {
                throw FileError("'" + path + "': a package cannot carry this name (" + pkg::ReasonText(*fault) + ")");
            }
            if (entryName.size() > pkg::kMaxNameLength) throw FileError("'" + path + "': the name is too long for a package");
            out.push_back({keyPrefix, {entryName, path, e.size, name}});
        }
        keyPrefix.pop_back();
    }
}

class FileOutput : public pkg::ByteOutput {
public:
    explicit FileOutput(OutputFile& file) : m_file(file) {}
    void Write(const void* data, std::size_t size) override { m_file.Write(data, size); }
    void Patch(uint64_t offset, const void* data, std::size_t size) override { m_file.WriteAt(offset, data, size); }

private:
    OutputFile& m_file;
};

Bytes ReadWhole(const std::string& path) {
    InputFile file(path);
    Bytes data(static_cast<std::size_t>(file.Size()));
    std::size_t have = 0;
    for (;;) {
        if (have == data.size()) data.resize(data.size() + (1 << 16));  // the file grew
        const std::size_t got = file.Read(data.data() + have, data.size() - have);
        if (got == 0) break;
        have += got;
    }
    data.resize(have);
    return data;
}

// Files up to kWholeFileLimit are read and compressed on the pool's threads,
// ahead of the writer by a bounded number and size; larger ones are
// streamed through zlib when their turn comes.
void WriteEntries(const std::vector<SourceFile>& files, const BuildOptions& o, pkg::PackageWriter& writer) {
    auto pooled = [](const SourceFile& f) { return f.size <= kWholeFileLimit; };
    uint64_t total = 0, done = 0;
    for (const SourceFile& f : files) total += f.size;
    Progress progress("updpkg build", total);
    const unsigned workers = std::max(1u, o.jobs);
    struct Packed {
        std::size_t index;
        Bytes data;  // empty for a file streamed in its turn
    };
    std::size_t next = 0;
    OrderedPool<std::size_t, Packed> pool(
        workers, {workers * kAheadPerWorker, kAheadBytes},
        {[&]() -> std::optional<std::size_t> {
             if (next == files.size()) return std::nullopt;
             return next++;
         },
         [&](std::size_t i) { return pooled(files[i]) ? files[i].size : 0; },
         [&] {
             auto compressor = std::make_shared<Compressor>(o.level);
             return [&, compressor](std::size_t& i) {
                 Packed packed{i, {}};
                 if (pooled(files[i])) {
                     const Bytes plain = ReadWhole(files[i].path);
                     compressor->Compress(plain.data(), plain.size(), packed.data);
                 }
                 return packed;
             };
         },
         [&](Packed& packed) {
             const SourceFile& f = files[packed.index];
             if (pooled(f)) {
                 writer.AddCompressed(f.entryName, packed.data.data(), packed.data.size());
             } else {
                 InputFile in(f.path);
                 writer.BeginEntry(f.entryName);
                 DeflateFile(in, o.level, [&](const unsigned char* p, std::size_t n) {
                     writer.WriteData(p, n);
                     progress.Update(done);
                 });
                 writer.FinishEntry();
             }
             done += f.size;
             progress.Update(done);
         }});
    pool.Run();
}

// Windows takes names that differ only in case (or in which of two codes of
// one character they use) for one file: the later would replace the
// earlier, or a file would stand where a folder must. Folders that differ
// only in case merely merge, which loses nothing.
void RefuseCaseCollisions(const std::vector<SourceFile>& files) {
    std::map<std::string, const SourceFile*> fileKeys, folderKeys;
    auto collide = [](const SourceFile* a, const SourceFile& b) {
        throw FileError("'" + a->path + "' and '" + b.path +
                        "' are one name on Windows, where case does not count; rename one of them");
    };
    for (const SourceFile& f : files) {
        const std::string key = pkg::EntryNameKey(f.entryName);
        for (const std::string& folder : names::FolderKeysOf(key)) {
            if (auto it = fileKeys.find(folder); it != fileKeys.end()) collide(it->second, f);
            folderKeys.emplace(folder, &f);
        }
        if (auto it = folderKeys.find(key); it != folderKeys.end()) collide(it->second, f);
        const auto [it, added] = fileKeys.emplace(key, &f);
        if (!added) collide(it->second, f);
    }
}

}  // namespace

std::vector<SourceFile> CollectFiles(const std::string& folder) {
    if (!IsFolder(folder)) throw FileError("'" + folder + "' is not a folder");
    std::vector<Walked> walked;
    std::vector<std::string> keyPrefix;
    Walk(folder, "", "", keyPrefix, walked);
    std::sort(walked.begin(), walked.end(), [](const Walked& a, const Walked& b) { return a.key < b.key; });
    std::vector<SourceFile> files;
    for (Walked& w : walked) files.push_back(std::move(w.file));
    RefuseCaseCollisions(files);
    return files;
}

void BuildPackage(const BuildOptions& o) {
    const std::vector<SourceFile> files = CollectFiles(o.folder);
    for (const SourceFile& f : files) {
        if (f.entryName.size() > pkg::kLongNameWarning) {
            const std::string warning = "updpkg: warning: '" + f.path + "': the name is " +
                                        std::to_string(f.entryName.size()) +
                                        " bytes long; placed on Windows its path may pass 260 bytes\n";
            std::fputs(warning.c_str(), stderr);
        }
    }
    // A name of its own, created new: nothing planted beside the output is
    // followed or overwritten.
    std::unique_ptr<OutputFile> file = CreateUniqueFile(o.output + ".partial-");
    const std::string partial = file->path();
    try {
        OutputFile& out = *file;
        FileOutput sink(out);
        pkg::PackageWriter writer(sink, o.key);
        try {
            WriteEntries(files, o, writer);
        } catch (const std::length_error&) {
            throw FileError("'" + o.output + "': the package would reach 4 GiB, more than SETUP.EXE can read");
        }
        out.Close();
        MoveReplacing(partial, o.output);
    } catch (...) {
        file.reset();  // Windows removes no open file
        RemoveFileQuietly(partial);
        throw;
    }
}

}  // namespace updpkg

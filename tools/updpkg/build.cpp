#include "tools/updpkg/build.h"

#include <algorithm>
#include <cstdio>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/entry_name.h"
#include "engine/package_format.h"
#include "engine/package_writer.h"
#include "tools/updpkg/compress.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/progress.h"

namespace updpkg {

namespace {

// Files up to this size are read whole and compressed on the worker threads;
// larger ones are streamed through zlib in order, so memory stays bounded.
constexpr uint64_t kWholeFileLimit = 32ull << 20;
// How far the workers may run ahead of the writer: a few files per worker,
// and no more than this many bytes of source in hand (a file the writer is
// waiting for is always taken, so one large file never stalls the run).
constexpr std::size_t kAheadPerWorker = 16;
constexpr uint64_t kAheadBytes = 128ull << 20;

struct Walked {
    std::vector<std::string> key;  // code page 932 components: the sort order
    SourceFile file;
};

void Walk(const std::string& folder, const std::string& entryPrefix, std::vector<std::string>& keyPrefix,
          std::vector<Walked>& out) {
    for (const FolderEntry& e : ListFolder(folder)) {
        const std::string path = JoinNative(folder, e.name);
        if (e.kind == FolderEntry::Other) {
            throw FileError("'" + path + "': neither a file nor a folder (a link to a folder is not followed)");
        }
        const std::string component = ComponentToPackage(e.name, path);
        const std::string entryName = entryPrefix.empty() ? component : entryPrefix + "\\" + component;
        if (keyPrefix.size() >= pkg::kMaxNameComponents) {
            throw FileError("'" + path + "': more than " + std::to_string(pkg::kMaxNameComponents) + " folder levels");
        }
        keyPrefix.push_back(component);
        if (e.kind == FolderEntry::Folder) {
            Walk(path, entryName, keyPrefix, out);
        } else {
            // The reader's own rule, so that nothing is built that SETUP.EXE refuses.
            if (const auto fault = pkg::EntryNameFault(entryName)) {
                throw FileError("'" + path + "': a package cannot carry this name (" + pkg::ReasonText(*fault) + ")");
            }
            if (entryName.size() > pkg::kMaxNameLength) throw FileError("'" + path + "': the name is too long for a package");
            out.push_back({keyPrefix, {entryName, path, e.size}});
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

// Compresses the files on worker threads, ahead of the writer by a bounded
// number, and hands them over in package order.
class CompressPool {
public:
    CompressPool(const std::vector<SourceFile>& files, int level, unsigned workers)
        : m_files(files), m_level(level), m_window(workers * kAheadPerWorker) {
        for (unsigned i = 0; i < workers; ++i) m_threads.emplace_back([this] { Work(); });
    }
    ~CompressPool() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread& t : m_threads) t.join();
    }
    CompressPool(const CompressPool&) = delete;
    CompressPool& operator=(const CompressPool&) = delete;

    static bool Pooled(const SourceFile& f) { return f.size <= kWholeFileLimit; }

    // The compressed bytes of file index (which must be Pooled), waiting at
    // most until the deadline; false when they are not ready yet. Rethrows
    // the worker's error for that file.
    bool Take(std::size_t index, Bytes& out, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_taken = index;
        m_changed.notify_all();
        if (!m_changed.wait_for(lock, wait, [&] { return m_done.count(index) != 0; })) return false;
        Result r = std::move(m_done[index]);
        m_done.erase(index);
        m_inHand -= m_files[index].size;
        m_taken = index + 1;
        m_changed.notify_all();
        if (r.error) std::rethrow_exception(r.error);
        out = std::move(r.data);
        return true;
    }

private:
    struct Result {
        Bytes data;
        std::exception_ptr error;
    };

    // Under the lock: whether the next file may be started now.
    bool MayStart() const {
        if (m_next <= m_taken) return true;
        return m_next < m_taken + m_window && m_inHand + m_files[m_next].size <= kAheadBytes;
    }

    void Work() {
        std::unique_ptr<Compressor> compressor;
        for (;;) {
            std::size_t index;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                while (m_next < m_files.size() && !Pooled(m_files[m_next])) ++m_next;
                m_changed.wait(lock, [&] { return m_stop || m_next >= m_files.size() || MayStart(); });
                if (m_stop || m_next >= m_files.size()) return;
                index = m_next++;
                m_inHand += m_files[index].size;
            }
            Result r;
            try {
                if (!compressor) compressor = std::make_unique<Compressor>(m_level);
                const Bytes plain = ReadWhole(m_files[index].path);
                compressor->Compress(plain.data(), plain.size(), r.data);
            } catch (...) {
                r.error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_done[index] = std::move(r);
            }
            m_changed.notify_all();
        }
    }

    const std::vector<SourceFile>& m_files;
    const int m_level;
    const std::size_t m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;   // next file to compress
    std::size_t m_taken = 0;  // the writer waits for this one
    uint64_t m_inHand = 0;    // source bytes of the files started and not yet taken
    bool m_stop = false;
    std::map<std::size_t, Result> m_done;
    std::vector<std::thread> m_threads;
};

void WriteEntries(const std::vector<SourceFile>& files, const BuildOptions& o, pkg::PackageWriter& writer) {
    uint64_t total = 0, done = 0;
    for (const SourceFile& f : files) total += f.size;
    Progress progress("updpkg build", total);
    CompressPool pool(files, o.level, std::max(1u, o.jobs));
    Bytes packed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const SourceFile& f = files[i];
        if (CompressPool::Pooled(f)) {
            while (!pool.Take(i, packed, std::chrono::milliseconds(100))) progress.Update(done);
            writer.AddCompressed(f.entryName, packed.data(), packed.size());
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
    }
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
        // Folding keeps every character's length: a folder's key is the
        // same leading part of the file's key.
        const std::string key = pkg::EntryNameKey(f.entryName);
        std::size_t length = 0;
        const std::vector<std::string> parts = SplitEntryName(f.entryName);
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            length += (i == 0 ? 0 : 1) + parts[i].size();
            const std::string folder = key.substr(0, length);
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
    Walk(folder, "", keyPrefix, walked);
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

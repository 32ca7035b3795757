#include "tools/updpkg/read.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/pkg/entry_name.h"
#include "engine/pkg/scanner.h"
#include "tools/updpkg/buffer.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/ordered_pool.h"
#include "tools/updpkg/placement.h"
#include "tools/updpkg/progress.h"

namespace updpkg {

namespace {

// Entries read ahead of the oldest one not yet taken, at most: bounds the
// scratch files on disk and the bytes held in memory.
constexpr std::size_t kReadAhead = 64;
// An entry up to this size is held in memory until its turn and then
// written in place: a scratch file and a rename cost more than its bytes.
// All the entries held stay within kHeldTotal; past it they spill to scratch.
constexpr std::size_t kHeldBytes = 256 << 10;
constexpr uint64_t kHeldTotal = 4 << 20;

// A file as the reader's byte source. The reader takes a name one byte at a
// time, so small reads are served from a little block read ahead; large
// ones go to the file directly.
class FileSource : public pkg::ReadAheadSource {
public:
    explicit FileSource(InputFile& file) : m_file(file) {}

protected:
    std::size_t ReadRaw(void* buffer, std::size_t size) override { return m_file.Read(buffer, size); }

private:
    InputFile& m_file;
};

// A scratch file of a worker's, removed unless it was moved into place.
class ScratchFile {
public:
    ScratchFile() = default;
    ~ScratchFile() {
        if (!m_path.empty()) RemoveFileQuietly(m_path);
    }
    ScratchFile(ScratchFile&& other) noexcept : m_path(std::move(other.m_path)) { other.m_path.clear(); }
    ScratchFile& operator=(ScratchFile&&) = delete;
    // The file is created at path: from now on it is removed again.
    void Created(const std::string& path) { m_path = path; }
    const std::string& path() const { return m_path; }
    void Placed() { m_path.clear(); }

private:
    std::string m_path;
};

// Inflated bytes held in memory, counted in a total shared by the threads.
class Held {
public:
    explicit Held(std::atomic<uint64_t>& total) : m_total(&total) {}
    ~Held() { *m_total -= m_bytes.size(); }
    Held(Held&& other) noexcept : m_total(other.m_total), m_bytes(std::move(other.m_bytes)) { other.m_bytes.clear(); }
    Held& operator=(Held&&) = delete;

    // Appends, unless the entry or the total would pass its bound.
    bool Add(const unsigned char* data, std::size_t size) {
        if (m_bytes.size() + size > kHeldBytes) return false;
        if (m_total->fetch_add(size) + size > kHeldTotal) {
            *m_total -= size;
            return false;
        }
        m_bytes.insert(m_bytes.end(), data, data + size);
        return true;
    }
    void Clear() {
        *m_total -= m_bytes.size();
        m_bytes = Bytes();
    }
    const Bytes& bytes() const { return m_bytes; }

private:
    std::atomic<uint64_t>* m_total;
    Bytes m_bytes;
};

// A sound entry, its inflated bytes in a scratch file or in memory.
struct Done {
    explicit Done(std::atomic<uint64_t>& heldTotal) : held(heldTotal) {}
    pkg::EntryInfo info;
    ScratchFile scratch;
    Held held;
};

// Thrown from a sink to abandon an entry once the run is stopping.
struct Cancelled {};

// Inflated bytes go to the entry's Done when extracting, nowhere when
// checking.
class EntryCollector : public pkg::EntrySink {
public:
    // scratch: where a large entry goes; empty when checking.
    EntryCollector(Done& done, const std::string& scratch, const std::function<bool()>& stopping)
        : m_done(done), m_scratch(scratch), m_stopping(stopping) {}

    void BeginEntry(const pkg::EntryInfo&) override {}
    void Write(const unsigned char* data, std::size_t size) override {
        if (m_stopping()) throw Cancelled();
        if (m_scratch.empty()) return;
        if (!m_out && m_done.held.Add(data, size)) return;
        if (!m_out) {
            m_out = std::make_unique<OutputFile>(m_scratch, OutputFile::New);
            m_done.scratch.Created(m_scratch);
            m_out->Write(m_done.held.bytes().data(), m_done.held.bytes().size());
            m_done.held.Clear();
        }
        m_out->Write(data, size);
    }
    void EndData(const pkg::EntryInfo&) override {
        if (m_out) m_out->Close();
    }
    void EntryVerified(const pkg::EntryInfo& info) override { m_done.info = info; }

private:
    Done& m_done;
    const std::string& m_scratch;
    const std::function<bool()>& m_stopping;
    std::unique_ptr<OutputFile> m_out;
};

// The file with no reading ahead: the scan takes 8 bytes per entry.
class DirectSource : public pkg::SeekableSource {
public:
    explicit DirectSource(InputFile& file) : m_file(file) {}
    std::size_t Read(void* buffer, std::size_t size) override { return m_file.Read(buffer, size); }
    void Seek(uint64_t offset) override { m_file.Seek(offset); }

private:
    InputFile& m_file;
};

class ParallelRead {
public:
    ParallelRead(const ReadOptions& o, InputFile& scan, std::string temp)
        : m_o(o), m_scan(scan), m_size(scan.Size()), m_temp(std::move(temp)) {}

    ReadSummary Run() {
        Progress progress(m_temp.empty() ? "updpkg verify" : "updpkg extract", m_size);
        OrderedPool<pkg::EntrySpan, Done> pool(std::max(1u, m_o.jobs), {kReadAhead},
                                    {[this] { return Dispatch(); }, {}, [this] { return Worker(); },
                                     [&](Done& d) {
                                         Take(d);
                                         progress.Update(d.info.end);
                                     }});
        m_stopping = [&pool] { return pool.Stopping(); };
        pool.Run();
        progress.Finish();
        return m_summary;
    }

private:
    // Under the pool's lock: the next entry, found from the length words of
    // the one before. An entry whose length runs past the end, or whose
    // length words are cut, is still handed out (its reader reports the
    // fault) but ends the scan.
    std::optional<pkg::EntrySpan> Dispatch() { return m_scanner.Next(); }

    // Each thread reads through its own handle.
    std::function<Done(pkg::EntrySpan&)> Worker() {
        auto file = std::make_shared<InputFile>(m_o.package);
        return [this, file](pkg::EntrySpan& job) { return ReadOne(*file, job); };
    }

    Done ReadOne(InputFile& file, const pkg::EntrySpan& job) {
        Done d(m_heldTotal);
        const std::string scratch = m_temp.empty() ? std::string() : Scratch(job.index);
        file.Seek(job.offset);
        FileSource source(file);
        pkg::PackageReader reader(source, m_o.key, job.offset, job.index);
        EntryCollector sink(d, scratch, m_stopping);
        if (!reader.ReadEntry(sink)) throw FileError("'" + m_o.package + "' became shorter while it was read");
        return d;
    }

    std::string Scratch(uint64_t index) const { return JoinNative(m_temp, std::to_string(index)); }

    // In package order.
    void Take(Done& d) {
        // What SETUP.EXE's copy to the FILES folder would refuse.
        m_layout.Place(d.info.name, d.info.index, d.info.end);
        if (!m_temp.empty()) {
            const std::vector<std::string> parts = m_placement.Place(d.info.name);
            if (d.scratch.path().empty()) {
                m_placer.Write(parts, d.held.bytes().data(), d.held.bytes().size(), Scratch(d.info.index));
            } else {
                m_placer.Place(d.scratch.path(), parts);
                d.scratch.Placed();
            }
        }
        ++m_summary.entries;
        m_summary.bytes += d.info.uncompressedSize;
        if (m_o.onEntry) m_o.onEntry(d.info);
    }

    const ReadOptions& m_o;
    InputFile& m_scan;
    const uint64_t m_size;
    const std::string m_temp;
    std::function<bool()> m_stopping;
    std::atomic<uint64_t> m_heldTotal{0};

    DirectSource m_scanSource{m_scan};
    pkg::EntryScanner m_scanner{m_scanSource, m_size, pkg::kHeaderSize};
    CasePlacement m_placement;
    FolderPlacer m_placer{m_o.extractTo};
    pkg::PlacementCheck m_layout;
    ReadSummary m_summary;
};

}  // namespace

ReadSummary ReadPackageFile(const ReadOptions& o) {
    InputFile scan(o.package);
    {
        FileSource source(scan);
        pkg::PackageReader header(source, o.key);
        header.ReadHeader();
    }
    if (o.extractTo.empty()) {
        ParallelRead run(o, scan, "");
        return run.Run();
    }
    MakeFolders(o.extractTo);
    const std::string temp = MakeUniqueFolder(o.extractTo, ".updpkg-");
    try {
        ParallelRead run(o, scan, temp);
        ReadSummary summary = run.Run();
        RemoveFolderQuietly(temp);
        return summary;
    } catch (...) {
        RemoveFolderQuietly(temp);
        throw;
    }
}

}  // namespace updpkg

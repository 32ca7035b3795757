#include "tools/updpkg/read.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/entry_name.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/placement.h"
#include "tools/updpkg/progress.h"

namespace updpkg {

namespace {

// Entries read ahead of the oldest one not yet taken, at most: bounds the
// scratch files on disk and the bookkeeping in memory.
constexpr uint64_t kReadAhead = 64;

// A file as the reader's byte source. The reader takes a name one byte at a
// time, so small reads are served from a little block read ahead; large
// ones go to the file directly.
class FileSource : public pkg::ByteSource {
public:
    explicit FileSource(InputFile& file) : m_file(file) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        if (m_pos == m_end) {
            if (size >= sizeof m_block) return m_file.Read(buffer, size);
            m_pos = 0;
            m_end = m_file.Read(m_block, sizeof m_block);
            if (m_end == 0) return 0;
        }
        const std::size_t n = std::min(size, m_end - m_pos);
        std::memcpy(buffer, m_block + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    InputFile& m_file;
    unsigned char m_block[4096];
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};

// Thrown from a sink to abandon an entry once the run is stopping.
struct Cancelled {};

// Inflated bytes go to a scratch file when extracting, nowhere when checking.
class ScratchSink : public pkg::EntrySink {
public:
    ScratchSink(std::string scratch, const std::atomic<bool>& stop) : m_scratch(std::move(scratch)), m_stop(stop) {}

    void BeginEntry(const pkg::EntryInfo&) override {
        if (!m_scratch.empty()) m_out = std::make_unique<OutputFile>(m_scratch, OutputFile::New);
    }
    void Write(const unsigned char* data, std::size_t size) override {
        if (m_stop.load(std::memory_order_relaxed)) throw Cancelled();
        if (m_out) m_out->Write(data, size);
    }
    void EndData(const pkg::EntryInfo&) override {
        if (m_out) m_out->Close();
    }
    void EntryVerified(const pkg::EntryInfo& info) override { m_info = info; }

    const pkg::EntryInfo& info() const { return m_info; }

private:
    std::string m_scratch;
    const std::atomic<bool>& m_stop;
    std::unique_ptr<OutputFile> m_out;
    pkg::EntryInfo m_info;
};

class ParallelRead {
public:
    ParallelRead(const ReadOptions& o, InputFile& scan, std::string temp)
        : m_o(o), m_scan(scan), m_size(scan.Size()), m_temp(std::move(temp)) {}

    ReadSummary Run() {
        const unsigned workers = std::max(1u, m_o.jobs);
        Progress progress(m_temp.empty() ? "updpkg verify" : "updpkg extract", m_size);
        std::vector<std::thread> threads;
        m_running = workers;
        for (unsigned i = 0; i < workers; ++i) threads.emplace_back([this] { Work(); });
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            while (m_running > 0) {
                m_changed.wait_for(lock, std::chrono::milliseconds(100));
                const uint64_t position = m_position;
                lock.unlock();
                progress.Update(position);
                lock.lock();
            }
        }
        for (std::thread& t : threads) t.join();
        progress.Finish();
        if (m_error) std::rethrow_exception(m_error);
        return m_summary;
    }

private:
    struct Result {
        bool ok = false;
        std::exception_ptr error;
        std::string scratch;
        pkg::EntryInfo info;
    };

    void Work() {
        try {
            InputFile file(m_o.package);
            for (;;) {
                uint64_t index, offset;
                {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_changed.wait(lock, [&] { return m_stop || m_scanDone || m_nextIndex < m_committed + kReadAhead; });
                    if (m_stop || !Dispatch(index, offset)) break;
                }
                Result r = ReadOne(file, index, offset);
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_done.emplace(index, std::move(r));
                    CommitReady();
                }
                m_changed.notify_all();
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_error) m_error = std::current_exception();
            m_stop = true;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_running;
        }
        m_changed.notify_all();
    }

    // Under the lock: the next entry's index and offset, found from the
    // length words of the one before. An entry whose length runs past the
    // end, or whose length words are cut, is still handed out (its reader
    // reports the fault) but ends the scan.
    bool Dispatch(uint64_t& index, uint64_t& offset) {
        if (m_scanDone) return false;
        if (m_nextOffset >= m_size) {
            m_scanDone = true;
            return false;
        }
        offset = m_nextOffset;
        m_scan.Seek(offset);
        FileSource source(m_scan);
        unsigned char words[8];
        std::size_t count = 0;
        const pkg::LengthWords got = pkg::ReadLengthWords(source, words, &count);
        if (got == pkg::LengthWords::End) throw FileError("'" + m_o.package + "' became shorter while it was read");
        index = m_nextIndex++;
        const uint64_t remaining = pkg::RemainingLength(words);
        if (got == pkg::LengthWords::Short || remaining > m_size - offset - 8) {
            m_scanDone = true;
        } else {
            m_nextOffset = offset + 8 + remaining;
        }
        return true;
    }

    Result ReadOne(InputFile& file, uint64_t index, uint64_t offset) {
        Result r;
        if (!m_temp.empty()) r.scratch = JoinNative(m_temp, std::to_string(index));
        try {
            file.Seek(offset);
            FileSource source(file);
            ReadStreaming(source, index, offset, r);
        } catch (const Cancelled&) {
        } catch (...) {
            r.error = std::current_exception();
        }
        // The sink, and so the scratch file, is closed by now.
        if (!r.ok && !r.scratch.empty()) RemoveFileQuietly(r.scratch);
        return r;
    }

    void ReadStreaming(pkg::ByteSource& source, uint64_t index, uint64_t offset, Result& r) {
        pkg::PackageReader reader(source, m_o.key, offset, index);
        ScratchSink sink(r.scratch, m_stop);
        if (!reader.ReadEntry(sink)) throw FileError("'" + m_o.package + "' became shorter while it was read");
        r.info = sink.info();
        r.ok = true;
    }

    // Under the lock: takes the finished entries that are next in package
    // order. The first failure stops the run; what comes after it is dropped.
    void CommitReady() {
        for (auto it = m_done.find(m_committed); it != m_done.end(); it = m_done.find(m_committed)) {
            Result r = std::move(it->second);
            m_done.erase(it);
            ++m_committed;
            if (m_stop) {
                if (r.ok && !r.scratch.empty()) RemoveFileQuietly(r.scratch);
                continue;
            }
            if (!r.ok) {
                m_error = r.error;
                m_stop = true;
                continue;
            }
            try {
                // What SETUP.EXE's copy to the FILES folder would refuse.
                m_layout.Place(r.info.name, r.info.index, r.info.end);
                if (!m_temp.empty()) Place(r);
                ++m_summary.entries;
                m_summary.bytes += r.info.uncompressedSize;
                m_position = r.info.end;
                if (m_o.onEntry) m_o.onEntry(r.info);
            } catch (...) {
                if (!r.scratch.empty()) RemoveFileQuietly(r.scratch);
                m_error = std::current_exception();
                m_stop = true;
            }
        }
    }

    void Place(const Result& r) { m_placer.Place(r.scratch, m_placement.Place(r.info.name)); }

    const ReadOptions& m_o;
    InputFile& m_scan;
    const uint64_t m_size;
    const std::string m_temp;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_stop{false};
    bool m_scanDone = false;
    uint64_t m_nextOffset = pkg::kHeaderSize;
    uint64_t m_nextIndex = 0;
    uint64_t m_committed = 0;
    std::map<uint64_t, Result> m_done;
    std::exception_ptr m_error;
    unsigned m_running = 0;
    uint64_t m_position = pkg::kHeaderSize;
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

// Writes the fuzz targets' seed corpus: small valid packages made by the
// writer, covering an empty package, stored and compressed entries, an
// entry over several pieces, nested and Japanese names; and hostile ones:
// streams that lenient inflaters accept and zlib refuses, with right
// checksums, and a name Windows cannot write.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/pkg/memory.h"
#include "fuzz_key.h"
#include "tests/support/hostile_streams.h"

namespace {

bool Save(const std::string& dir, const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void Add(pkg::PackageWriter& w, const std::string& name, const std::string& data, int level = 6) {
    w.AddData(name, reinterpret_cast<const unsigned char*>(data.data()), data.size(), level);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, fuzzing::kKey);
        ok &= Save(dir, "empty.kvub", out.bytes());
    }
    {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, fuzzing::kKey);
        Add(w, "APP\\readme.txt", "hello, world\r\n");
        Add(w, "APP\\empty.dat", "");
        Add(w, "APP\\stored.txt", "stored at level zero", 0);
        ok &= Save(dir, "small.kvub", out.bytes());
    }
    {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, fuzzing::kKey);
        std::string big;
        for (int i = 0; i < 70000; ++i) big.push_back(static_cast<char>((i * 7919) >> 3));
        Add(w, "HELP\\sub\\deep\\big.bin", big, 1);
        // "ゾミ７\使い方.txt" in code page 932
        Add(w, "\x83\x5d\x83\x7e\x82\x56\\\x8e\x67\x82\xa2\x95\xfb.txt", "help text");
        ok &= Save(dir, "nested.kvub", out.bytes());
    }
    {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, fuzzing::kKey);
        Add(w, "APP\\first.txt", "sound before the hostile one");
        const testsupport::Bytes overrun = testsupport::DynamicBlockStream(true);
        w.AddCompressed("APP\\overrun.txt", overrun.data(), overrun.size());
        ok &= Save(dir, "overrun.kvub", out.bytes());
    }
    {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, fuzzing::kKey);
        const testsupport::Bytes sound = testsupport::DynamicBlockStream(false);
        w.AddCompressed("APP\\dynamic.txt", sound.data(), sound.size());
        const testsupport::Bytes reserved = testsupport::ReservedLengthCodeStream();
        w.AddCompressed("APP\\reserved.txt", reserved.data(), reserved.size());
        ok &= Save(dir, "reserved.kvub", out.bytes());
    }
    {
        // "APP\\trail.txt" made "APP\\trail.tx." once masked: the reader
        // must refuse the name before it looks at the (now wrong) checksum.
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, fuzzing::kKey);
        Add(w, "APP\\trail.txt", "x");
        std::vector<unsigned char> bytes = out.bytes();
        const std::size_t last = 8 + 8 + 12;  // the final 't' of the name
        bytes[last] ^= static_cast<unsigned char>('t' ^ '.');
        ok &= Save(dir, "trailing-dot.kvub", bytes);
    }
    if (!ok) {
        std::fprintf(stderr, "could not write the seeds into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}

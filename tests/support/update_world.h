#pragma once
// The folders of an update as tests lay them out: the medium (the folder
// SETUP.EXE runs from) and an installed product with its library, each a
// fresh scratch folder; the work folder is cleared before and after. The
// worker tests run the engine in them, the end-to-end tests SETUP.EXE.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pkg/memory.h"
#include "product/package_key.h"
#include "tests/support/test_util.h"

namespace testsupport {

class UpdateWorld {
public:
    ScratchDir program;  // the medium
    ScratchDir product;  // the installed product

    UpdateWorld(const std::string& programName, const std::string& productName)
        : program(programName), product(productName) {
        RemoveWorkFolder();
    }
    ~UpdateWorld() { RemoveWorkFolder(); }
    UpdateWorld(const UpdateWorld&) = delete;
    UpdateWorld& operator=(const UpdateWorld&) = delete;

    // The package key for the product's library as it lies there now.
    uint32_t Key() const {
        const std::string lib = ReadFileBytes(product / "kvp2lib.dll");
        pkg::MemorySource bytes(reinterpret_cast<const unsigned char*>(lib.data()), lib.size());
        return product::PackageKey(bytes);
    }

    static std::string TempDir() { return TempPath(); }
    static std::string WorkFolder() { return TempDir() + "KVUPDATE"; }
    static void RemoveWorkFolder() { RemoveTree(WorkFolder()); }

    struct Entry {
        std::string name, data;
    };
    static std::vector<unsigned char> Package(uint32_t key, const std::vector<Entry>& entries) {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, key);
        for (auto& e : entries)
            w.AddData(e.name, reinterpret_cast<const unsigned char*>(e.data.data()), e.data.size());
        return out.bytes();
    }
    // Writes a package onto the medium.
    void WritePackage(const std::vector<unsigned char>& bytes, const std::string& name) {
        WriteFileBytes(program / name, std::string(bytes.begin(), bytes.end()));
    }
};

}  // namespace testsupport

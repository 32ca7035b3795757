#pragma once
// A laid-out world for worker tests: a program folder (the medium), an
// installed product folder with its library, and an application object
// installed as the current one, with the fixed pauses run quickly.

#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "engine/package_memory.h"
#include "platform/timing.h"
#include "test_util.h"

// The engine's boxes as the tests expect them, spelled out once.
inline std::string FormatErrorText() {
    return testutil::Sjis("更新するファイルの取得に失敗しました。\nアップデートプログラムが壊れているか、"
                          "アップデート対象製品が正しくない可能性があります。");
}
inline std::string FilesNotFoundText() {
    return testutil::Sjis("更新するファイルがみつかりません。\nアップデートプログラムが壊れている可能性があります。");
}

class WorkerWorld {
public:
    testutil::ScratchDir program{"upd_w_program"};
    testutil::ScratchDir product{"upd_w_product"};
    testutil::ScratchDir target{"upd_w_target"};
    CSetupApp app;

    WorkerWorld() {
        platform::SetPauseDivisor(1000);
        app.m_strAppDir = program.path() + "\\";
        app.m_info.m_strProductName = "Zomi7";
        app.m_info.m_strProductVersion = "7.5.2.0";
        char sys[MAX_PATH];
        ::GetSystemDirectoryA(sys, MAX_PATH);
        app.m_info.m_strSystemDir = sys;
        app.SetTargetDir(product.path());
        library = "library bytes of this product build";
        testutil::WriteFileBytes(product / "kvp2lib.dll", library);
        SetAppForTest(&app);
        RemoveWorkFolder();
    }
    ~WorkerWorld() {
        SetAppForTest(nullptr);
        platform::SetPauseDivisor(1);
        RemoveWorkFolder();
    }

    uint32_t Key() const {
        return static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(library.data()), static_cast<uInt>(library.size())));
    }

    static std::string TempDir() {
        char t[MAX_PATH];
        ::GetTempPathA(MAX_PATH, t);
        return t;
    }
    static std::string WorkFolder() { return TempDir() + "KVUPDATE"; }
    static void RemoveWorkFolder() { testutil::RemoveTree(WorkFolder()); }

    // Names of the scratch files ("kvc*.tmp") in the temporary folder now.
    static std::vector<std::string> ScratchFiles() {
        std::vector<std::string> out;
        WIN32_FIND_DATAA fd;
        HANDLE h = ::FindFirstFileA((TempDir() + "kvc*.tmp").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return out;
        do out.push_back(fd.cFileName);
        while (::FindNextFileA(h, &fd));
        ::FindClose(h);
        return out;
    }

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
    void PutPackage(const std::vector<unsigned char>& bytes, const std::string& name = "UPDATE.PKG") {
        testutil::WriteFileBytes(program / name, std::string(bytes.begin(), bytes.end()));
        app.m_info.m_strPackage = name;
    }
    void AddComponent(const std::string& source, const std::string& dest) {
        auto c = std::make_unique<SETUPCOMPONENT>();
        c->pszSource = source;
        c->pszDest = dest;
        app.m_info.m_components.push_back(std::move(c));
    }

    std::string library;
};

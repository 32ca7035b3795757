#pragma once
// A laid-out world for worker tests: a program folder (the medium), an
// installed product folder with its library, and an application object
// installed as the current one, with the fixed pauses run quickly.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "engine/install/journal_file.h"
#include "platform/handle.h"
#include "platform/system_library.h"
#include "platform/timing.h"
#include "tests/support/test_util.h"
#include "tests/support/update_world.h"

namespace testsupport {

// The engine's boxes as the tests expect them, spelled out once.
inline std::string FormatErrorText() {
    return std::string("更新するファイルの取得に失敗しました。\nアップデートプログラムが壊れているか、"
                "アップデート対象製品が正しくない可能性があります。");
}
inline std::string FilesNotFoundText() {
    return "更新するファイルがみつかりません。\nアップデートプログラムが壊れている可能性があります。";
}

class WorkerWorld : public UpdateWorld {
public:
    ScratchDir target{"upd_w_target"};
    CSetupApp app;

    WorkerWorld() : UpdateWorld("upd_w_program", "upd_w_product") {
        platform::SetPauseDivisor(1000);
        app.m_strAppDir = program.path() + "\\";
        app.m_info.m_strProductName = "Zomi7";
        app.m_info.m_strProductVersion = "7.5.2.0";
        app.m_info.m_strSystemDir = platform::SystemFolder();
        app.SetTargetDir(product.path());
        library = "library bytes of this product build";
        WriteFileBytes(product / "kvp2lib.dll", library);
        SetAppForTest(&app);
    }
    ~WorkerWorld() {
        SetAppForTest(nullptr);
        platform::SetPauseDivisor(1);
        RemoveWorkFolder();
        RemoveTree(install::JournalFolder());  // no journal of one test is found by the next
    }

    void PutPackage(const std::vector<unsigned char>& bytes, const std::string& name = "UPDATE.PKG") {
        WritePackage(bytes, name);
        app.m_info.m_strPackage = name;
    }
    void AddComponent(const std::string& source, const std::string& dest) {
        auto c = std::make_unique<SETUPCOMPONENT>();
        c->pszSource = source;
        c->pszDest = dest;
        app.m_info.m_components.push_back(std::move(c));
    }

    std::string library;  // the bytes the product's library was written with
};

}  // namespace testsupport

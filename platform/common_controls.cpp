#include "platform/common_controls.h"

namespace platform {

namespace {

// Owns the loaded DLL for the rest of the process.
class CommonControls {
public:
    CommonControls() : m_module(::LoadLibraryA("comctl32.dll")) {}
    CommonControls(const CommonControls&) = delete;
    CommonControls& operator=(const CommonControls&) = delete;
    ~CommonControls() {
        if (m_module) ::FreeLibrary(m_module);
    }

    template <class F>
    F Find(const char* name) const {
        FARPROC p = m_module ? ::GetProcAddress(m_module, name) : nullptr;
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
    }

private:
    HMODULE m_module;
};

const CommonControls& Loaded() {
    static const CommonControls dll;  // at the first use, after start-up restricted the search
    return dll;
}

}  // namespace

bool InitCommonControlClasses(DWORD classes) {
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    Init init = Loaded().Find<Init>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc = {sizeof icc, classes};
    return init && init(&icc);
}

INT_PTR RunPropertySheet(LPCPROPSHEETHEADERA header) {
    using Run = INT_PTR(WINAPI*)(LPCPROPSHEETHEADERA);
    Run run = Loaded().Find<Run>("PropertySheetA");
    return run ? run(header) : -1;
}

}  // namespace platform

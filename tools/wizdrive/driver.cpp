#include "tools/wizdrive/driver.h"

#include "platform/wide.h"

namespace driver {

namespace {

std::string TextOf(HWND h) {
    wchar_t buf[4096] = {};
    // WM_GETTEXT works across processes for the standard controls; read as
    // UTF-16, the text is the window's own whatever the system's code page.
    LRESULT n = ::SendMessageTimeoutW(h, WM_GETTEXT, sizeof buf / sizeof buf[0], reinterpret_cast<LPARAM>(buf),
                                      SMTO_ABORTIFHUNG, 2000, nullptr);
    (void)n;
    return platform::Narrow(buf);
}

std::string ClassOf(HWND h) {
    wchar_t buf[256] = {};
    ::GetClassNameW(h, buf, 256);
    return platform::Narrow(buf);
}

struct EnumCtx {
    HWND top;
    std::vector<Control>* out;
};

BOOL CALLBACK EnumChild(HWND h, LPARAM lp) {
    auto* ctx = reinterpret_cast<EnumCtx*>(lp);
    Control c{};
    c.hwnd = h;
    c.parent = ::GetParent(h);
    c.id = ::GetDlgCtrlID(h);
    c.cls = ClassOf(h);
    c.text = TextOf(h);
    c.visible = ::IsWindowVisible(h) != FALSE;
    c.enabled = ::IsWindowEnabled(h) != FALSE;
    ::GetWindowRect(h, &c.rect);
    ::MapWindowPoints(nullptr, ctx->top, reinterpret_cast<POINT*>(&c.rect), 2);
    ctx->out->push_back(c);
    return TRUE;
}

struct TopCtx {
    DWORD pid;
    std::vector<Window>* out;
};

BOOL CALLBACK EnumTop(HWND h, LPARAM lp) {
    auto* ctx = reinterpret_cast<TopCtx*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid == ctx->pid && ::IsWindowVisible(h)) ctx->out->push_back(Read(h));
    return TRUE;
}

struct AnyCtx {
    DWORD pid;
    std::vector<std::string>* classes;
};

BOOL CALLBACK EnumAny(HWND h, LPARAM lp) {
    auto* ctx = reinterpret_cast<AnyCtx*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid == ctx->pid) ctx->classes->push_back(ClassOf(h));
    return TRUE;
}

}  // namespace

const Control* Window::Find(int id) const {
    for (auto& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

const Control* Window::FindText(const std::string& text) const {
    for (auto& c : controls)
        if (c.text == text) return &c;
    return nullptr;
}

static const Control* MessageStatic(const Window& w) {
    for (auto& c : w.controls)
        if (c.id == 0xFFFF && c.parent == w.hwnd && c.cls == "Static") return &c;
    return nullptr;
}

bool Window::HasMessageText() const { return MessageStatic(*this) != nullptr; }

std::string Window::MessageText() const {
    const Control* c = MessageStatic(*this);
    return c ? c->text : std::string();
}

Window Read(HWND hwnd) {
    Window w;
    w.hwnd = hwnd;
    w.cls = ClassOf(hwnd);
    w.caption = TextOf(hwnd);
    EnumCtx ctx{hwnd, &w.controls};
    ::EnumChildWindows(hwnd, EnumChild, reinterpret_cast<LPARAM>(&ctx));
    return w;
}

bool Press(HWND top, int id) {
    HWND b = ::GetDlgItem(top, id);
    if (!b) return false;
    ::PostMessageW(b, BM_CLICK, 0, 0);
    return true;
}

bool Process::Start(const std::string& program, const std::string& arguments, const std::string& currentFolder) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + program + "\"";
    if (!arguments.empty()) cmd += " " + arguments;
    const size_t slash = program.find_last_of("\\/");
    const std::string dir = !currentFolder.empty()        ? currentFolder
                            : slash == std::string::npos ? std::string(".")
                                                         : program.substr(0, slash);
    // Wide, so the program gets its arguments as they are written here.
    std::wstring wideCmd = platform::Wide(cmd);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(platform::Wide(program).c_str(), wideCmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          platform::Wide(dir).c_str(), &si, &pi))
        return false;
    platform::Handle thread(pi.hThread);
    m_process.reset(pi.hProcess);
    m_pid = pi.dwProcessId;
    return true;
}

Process::~Process() {
    if (Running()) Kill();
}

bool Process::Running() const {
    return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD ms) {
    return m_process && ::WaitForSingleObject(m_process.get(), ms) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

void Process::Kill() {
    ::TerminateProcess(m_process.get(), 99);
    ::WaitForSingleObject(m_process.get(), 5000);
}

std::vector<std::string> Process::AllTopLevelClasses() const {
    std::vector<std::string> out;
    AnyCtx ctx{m_pid, &out};
    ::EnumWindows(EnumAny, reinterpret_cast<LPARAM>(&ctx));
    return out;
}

std::vector<Window> Process::Windows() const {
    std::vector<Window> out;
    TopCtx ctx{m_pid, &out};
    ::EnumWindows(EnumTop, reinterpret_cast<LPARAM>(&ctx));
    return out;
}

}  // namespace driver

#include "tools/updpkg/progress.h"

#include <cstdio>

#include "tools/updpkg/fileio.h"

namespace updpkg {

namespace {
constexpr auto kQuietStart = std::chrono::milliseconds(500);  // short runs show nothing
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kWidth = 30;
}  // namespace

Progress::Progress(std::string label, uint64_t total)
    : m_label(std::move(label)),
      m_total(total),
      m_enabled(StderrIsTerminal()),
      m_start(std::chrono::steady_clock::now()),
      m_lastDraw(m_start) {}

Progress::~Progress() { Finish(); }

void Progress::Update(uint64_t done) {
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_start < kQuietStart || now - m_lastDraw < kRedraw) return;
    m_lastDraw = now;
    const double fraction = m_total ? static_cast<double>(done) / static_cast<double>(m_total) : 1.0;
    const int filled = static_cast<int>(fraction * kWidth);
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%% %7.1f MiB/s", m_label.c_str(), bar, static_cast<int>(fraction * 100),
                 static_cast<double>(done) / (1024.0 * 1024.0) / seconds);
    std::fflush(stderr);
    m_drawn = true;
}

void Progress::Finish() {
    if (m_drawn) {
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(m_label.size()) + kWidth + 24, "");
        std::fflush(stderr);
    }
    m_drawn = false;
}

}  // namespace updpkg

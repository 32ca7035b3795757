#pragma once
// A progress bar on standard error, only when it is a terminal and only once
// a run has lasted long enough to be worth one. Drawn by one thread.

#include <chrono>
#include <cstdint>
#include <string>

namespace updpkg {

class Progress {
public:
    Progress(std::string label, uint64_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Update(uint64_t done);
    // Clears the bar.
    void Finish();

private:
    std::string m_label;
    uint64_t m_total;
    bool m_enabled;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace updpkg

#pragma once
// Inputs of a given size that cost the journal and SETUP.INI readers most,
// for the cost test and the fuzz script's runs at each size limit.

#include <cstddef>
#include <string>

namespace testsupport {

// head, unit as often as fits in size bytes with tail, tail; count: how often.
inline std::string Filled(const std::string& head, const std::string& unit, std::size_t size,
                          const std::string& tail = "", std::size_t* count = nullptr) {
    const std::size_t n = (size - head.size() - tail.size()) / unit.size();
    std::string text = head;
    text.reserve(size);
    for (std::size_t i = 0; i < n; ++i) text += unit;
    if (count) *count = n;
    return text + tail;
}

// One folder record whose path is tabs (a string each for a reader that
// splits them all), and a journal of three-byte records.
inline std::string JournalOfTabs(std::size_t size) { return Filled("KVJOURNAL\t2\r\nD", "\t", size, "\r\nEND\t1\r\n"); }
inline std::string JournalOfTinyRecords(std::size_t size) { return Filled("KVJOURNAL\t2\r\n", "K\r\n", size); }

// A journal the reader takes whole: records of line bytes, each a folder
// below C:\Zomi7; at 64 bytes, the most records there are room for.
inline std::string JournalOfFolders(std::size_t size, std::size_t line = 64) {
    std::size_t n = 0;
    const std::string text =
        Filled("KVJOURNAL\t2\r\n", "D\tC:\\Zomi7\\" + std::string(line - 13, 'a') + "\r\n", size - 20, "", &n);
    return text + "END\t" + std::to_string(n) + "\r\n";
}

// A component's value of commas; and components below a folder of folder
// bytes, each one SETUP.EXE takes.
inline std::string SetupIniOfCommas(std::size_t size) { return Filled("[COMPONENTS]\r\nAPP=", ",", size); }
inline std::string SetupIniOfComponents(std::size_t size, std::size_t folder = 3) {
    return Filled("[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\nPRODUCT_VERSION=7.5.2.0\r\n[COMPONENTS]\r\n",
                  "C=APP,<TARGETDIR>\\" + std::string(folder, 'D') + ",1\r\n", size);
}

}  // namespace testsupport

// Writes an input for the journal or SETUP.INI fuzz target, of its reader's
// size limit / DIVISOR bytes: a seed, or one the fuzz script feeds it at the
// limit to see its cost grow no faster than the input.
//   fuzz_inputs journal|ini split|whole DIVISOR FILE
// split: one record or value of separators (a string each for a reader that
// splits them all); whole: one the reader takes whole, of 4 KiB records
// (short ones below 1 MiB; the cost of many is the cost test's).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/SetupInfo.h"
#include "engine/install_journal.h"
#include "tests/support/reader_inputs.h"

int main(int argc, char** argv) {
    const std::string kind = argc == 5 ? argv[1] : "", shape = argc == 5 ? argv[2] : "";
    const long divisor = argc == 5 ? std::atol(argv[3]) : 0;
    if ((kind != "journal" && kind != "ini") || (shape != "split" && shape != "whole") || divisor <= 0) {
        std::fprintf(stderr, "usage: %s journal|ini split|whole DIVISOR FILE\n", argv[0]);
        return 2;
    }
    const std::size_t size = (kind == "journal" ? journal::kMaxBytes : CSetupInfo::kMaxBytes) / divisor;
    const std::size_t record = size < (1u << 20) ? 64 : 4096;
    const std::string text = kind == "journal" ? (shape == "whole" ? testsupport::JournalOfFolders(size, record)
                                                                   : testsupport::JournalOfTabs(size))
                                               : (shape == "whole" ? testsupport::SetupIniOfComponents(size, record - 30)
                                                                   : testsupport::SetupIniOfCommas(size));
    std::FILE* f = std::fopen(argv[4], "wb");
    const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return f && std::fclose(f) == 0 && ok ? 0 : 1;
}

#pragma once
// What extraction placed below FILES, so that the file list takes nothing
// else: no file added later, none rewritten, no link, no second name of a
// placed file.

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

class CPlacedFiles {
public:
    // Starts an empty record; from now on the list is checked against it.
    void Begin();
    bool Active() const { return m_active; }

    // Notes a file that extraction has just placed (or replaced) at path,
    // with its identity, size and time as they are now. false when the file
    // cannot be read back (last error set).
    bool Record(const std::string& path);
    // The same from what the handle that wrote the file reported (its
    // identity stays with it through a rename), without opening it again.
    void Record(const BY_HANDLE_FILE_INFORMATION& info);

    // Stage 3 met a link at path: it was not followed, and a record in use
    // refuses the whole list.
    void NoteLink() { m_linkSeen = true; }

    // Whether the list of sources is exactly made of placed files: each one
    // placed, unchanged since, not a link, with no other name, listed once.
    // Always true when no record is in use.
    template <class Sources>
    bool Accepts(const Sources& sources) const {
        if (!m_active) return true;
        if (m_linkSeen) return false;
        std::set<Key> listed;
        for (const std::string& source : sources)
            if (!Matches(source, listed)) return false;
        return true;
    }

private:
    // Volume serial number and the file's index on it.
    using Key = std::tuple<DWORD, DWORD, DWORD>;
    struct State {
        ULONGLONG size = 0;
        FILETIME written{};
    };
    bool Matches(const std::string& path, std::set<Key>& listed) const;

    bool m_active = false;
    bool m_linkSeen = false;
    std::map<Key, State> m_files;
};

#pragma once
// What extraction placed below FILES, so that the file list takes nothing
// else: no file added later, none rewritten, no link, no second name of a
// placed file.

#include <windows.h>

#include "util/file_facts.h"

#include <map>
#include <string>

class CPlacedFiles {
public:
    // Starts an empty record; from now on the list is checked against it.
    void Begin();
    bool Active() const { return m_active; }

    // Notes the file that extraction has just placed (or replaced) at path,
    // from what the handle that wrote it reported: identity, size and time.
    void Record(const std::string& path, const FileFacts& facts);

    // Stage 3 met a link: it was not followed, and a record in use refuses
    // the whole list.
    void NoteLink() { m_linkSeen = true; }

    // Starts the listing of one component's source folder. Components may
    // share a source (or one lie inside another's): each listing may take a
    // placed file once.
    void BeginListing() { ++m_listing; }

    // What a listing found at path (a directory search's data, no open):
    // true when a record is in use and path is a placed file of the same
    // size and time that this listing has not met before (a second name of
    // the one file, such as another spelling on a file system that tells
    // case apart, is not the placed file). Always true when no record is in
    // use. The cheap check of the whole list before anything is copied;
    // Confirms is the final one.
    bool Lists(const std::string& path, ULONGLONG size, const FILETIME& written);
    bool LinkSeen() const { return m_active && m_linkSeen; }

    // The final check of a source, on the handle it is about to be staged
    // from: the file extraction placed at path, unchanged, with no other
    // name. Always true when no record is in use.
    bool Confirms(const std::string& path, const FileFacts& facts) const;

private:
    struct State {
        ULONGLONG index = 0;  // all placed files lie in the one work folder, on one volume
        ULONGLONG size = 0;
        FILETIME written{};
        unsigned listedBy = 0;  // the last listing that met it; 0 none
    };
    static std::string KeyOf(const std::string& path);

    bool m_active = false;
    bool m_linkSeen = false;
    unsigned m_listing = 1;  // the listing now going on
    std::map<std::string, State> m_files;  // by the path's key (names::Key)
};

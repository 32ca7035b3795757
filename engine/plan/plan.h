#pragma once
// What an update will do to a product, decided in one place, as data:
// SETUP.EXE's stage 4 builds this plan from its file list and carries it
// out; updpkg check builds the same plan against a product folder on disk
// and prints it. Portable.
//
// From the components (each with its expanded destination folder and the
// files listed below its source), the product's facts and a view of what
// stands at the destinations, the plan says: each destination once, by the
// one name key (util/name_key.h), a later component winning over an earlier
// one; the commit order, the product's executable last; which of the
// update's own files are moved (the last use of each) and which copied; the
// staged and backup names; the folders to create, outermost first; and the
// journal records each step writes before it acts.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/install_journal.h"

namespace plan {

// A file below a component's source folder.
struct ListedFile {
    std::string relative;  // below the source folder, '\' between names
    std::string source;    // where it lies now, the system's path
    bool own = false;      // the update's own unpacked file, gone afterwards: it may be moved
};

struct Component {
    std::string destination;  // the expanded destination folder, in the form every destination is compared in
    std::vector<ListedFile> files;
};

struct Product {
    std::string installFolder;  // in the destinations' form
    std::string exeName;        // the executable, committed last
};

// Attributes as the system reports them; kMissing where nothing stands.
inline constexpr uint32_t kMissing = 0xFFFFFFFFu;
inline constexpr uint32_t kFolderAttribute = 0x10u;

// What stands at the destinations: SETUP.EXE's folder listings, updpkg's
// product folder.
class DestinationView {
public:
    virtual ~DestinationView() = default;
    // The attributes of the file or folder at path; kMissing when nothing is
    // there (or nothing can be known).
    virtual uint32_t Attributes(const std::string& path) = 0;
    bool Exists(const std::string& path) { return Attributes(path) != kMissing; }
    bool IsFolder(const std::string& path);
};

// One file to install, in listing order.
struct File {
    std::string source, dest;
    std::string staged;       // its free name beside dest ("" when none was free)
    bool move = false;        // the last use of an own file: moved where it can be, else copied
    bool superseded = false;  // a later file has the same destination: this one is staged but never committed
    std::string backup;       // where the old file goes at the commit; "" when there is none
    uint32_t attributes = 0;  // the old file's, put back on restore
};

struct Plan {
    std::vector<File> files;             // in listing order: the staging order
    std::vector<std::size_t> commits;    // files by index, in commit order: one per destination, the executable last
    std::optional<std::size_t> productExe;  // the file that becomes the product's executable, if any
    std::vector<std::string> folders;    // to create, outermost first
    // Written before staging: each staged name, then the folders it needs.
    std::vector<journal::Record> stagingRecords;
    // Written before the commit: one per commit, in commit order.
    std::vector<journal::Record> commitRecords;
    // The destination that found no free staged name ("" when every one
    // did): the plan cannot be carried out until the view changes.
    std::string blocked;
};

// The plan of an update. Never fails; a blocked plan says where.
Plan Build(const std::vector<Component>& components, const Product& product, DestinationView& view);

// Where a file at relative below a component's destination goes.
std::string DestinationOf(const std::string& folder, const std::string& relative);

// The folder above path; "C:\" (not "C:", the drive's current folder) for
// a name in a drive's root.
std::string ParentFolder(const std::string& path);

// What the update looks at for links before it stages anything, in its
// order: each file's folder (held from the volume's root down, as far as
// it exists), once, before the first file that goes there, and each file's
// own name. visit(path, isFolder) is false to stop there; false then.
// updpkg's check predicts from the same walk.
bool ForEachLinkCheck(const Plan& plan, const std::function<bool(const std::string& path, bool isFolder)>& visit);

// How many numbers a staged or backup name tries before it gives up.
inline constexpr unsigned kNameTries = 1000;

}  // namespace plan

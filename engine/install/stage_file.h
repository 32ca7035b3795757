#pragma once
// One file of the installation staged beside its destination: taken through
// one handle from its source, moved there when the source is the update's
// own file on the same volume, copied otherwise.

#include <string>

#include "platform/handle.h"

class CMediumTrust;
class CPlacedFiles;

namespace install {

enum class StageResult {
    Done,     // the staged file is there, checked against its source
    Failed,   // why holds the reason to show; what stands at the staged name is the caller's to remove
    Refused,  // the source is not the file extraction placed: the package is not to be trusted
    NotSigned,  // the source differs from what the medium's vendor signed (why says how)
};

// Stages source at staged, a free name. placed is the record of what
// extraction placed (source must be one of those files when it is in use).
// mayMove: the source is the update's own and goes away afterwards, so it
// may be moved rather than copied. Done leaves the staged file open in held
// (with delete access, nobody else writing it), for its commit. signedList:
// the source must be a file it lists, and the bytes copied its signed ones.
StageResult StageFile(const std::string& source, const std::string& staged, const CPlacedFiles& placed,
                      bool mayMove, platform::Handle& held, std::string& why,
                      const CMediumTrust* signedList = nullptr);

}  // namespace install

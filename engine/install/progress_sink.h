#pragma once
// What the installation tells the progress page, and nothing else of the
// worker.

#include <string>

namespace install {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void CurrentFile(const std::string& dest) = 0;  // the file now worked on
    virtual void FileStaged() = 0;                          // one more file staged
    virtual void RollingBack() = 0;                         // undoing from now on
};

}  // namespace install

// textfile.h -- sequential text files: create or empty, append, write lines ended by CR LF.
//
// Every operation raises EInOutError with the documented code. The file is always closed: Close
// reports a failure and still leaves it closed, and the destructor closes quietly while an
// exception unwinds. Lines are written as the bytes given, with no byte-order mark.
#pragma once

#include <string>

namespace tarnwick {

class TTextFile {
public:
    TTextFile() = default;
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    void Rewrite(const std::string& path);  // create, or empty an existing file
    void Append(const std::string& path);   // an existing file, written at its end
    void WriteLine(const std::string& line); // line followed by CR LF
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    void open(const std::string& path, int flags);
    void flush();

    std::string path_;
    std::string pending_;
    int fd_ = -1;
};

}  // namespace tarnwick

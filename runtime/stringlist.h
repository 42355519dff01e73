// stringlist.h -- an ordered list of 8-bit lines with the text form the comment property uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const;  // raises EListError outside 0 .. Count - 1
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    void Assign(const TStringList& other) { lines_ = other.lines_; }
    const std::vector<std::string>& Lines() const { return lines_; }

    // Each line followed by CR LF.
    std::string Text() const;
    // Splits at CR LF, CR or LF; a zero byte ends the text. A final line break adds no line.
    void SetText(std::string_view text);

    bool operator==(const TStringList&) const = default;

private:
    std::vector<std::string> lines_;
};

}  // namespace tarnwick

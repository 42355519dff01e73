// stringlist.cpp -- line splitting and joining of TStringList.
#include "stringlist.h"

#include "errors.h"

namespace tarnwick {

const std::string& TStringList::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return lines_[static_cast<std::size_t>(index)];
}

std::string TStringList::Text() const
{
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text)
{
    lines_.clear();
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n')
            ++j;
        lines_.emplace_back(text.substr(i, j - i));
        if (j < text.size() && text[j] == '\r')
            ++j;
        if (j < text.size() && text[j] == '\n')
            ++j;
        i = j;
    }
}

}  // namespace tarnwick

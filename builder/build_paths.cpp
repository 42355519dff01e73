// build_paths.cpp -- path mapping and name checks of a build.
#include "builder/build_paths.h"

#include <cstdio>

#include "runtime/filesystem.h"

namespace tarnwick {

std::string IncludeTrailingSeparator(const std::string& folder)
{
    if (folder.empty() || folder.back() == kPathDelim)
        return folder;
    return folder + kPathDelim;
}

std::string ExtractFileName(const std::string& path)
{
    const auto sep = path.find_last_of(kPathDelim);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string UploadFolderPath() { return IncludeTrailingSeparator(GetCurrentDir()) + "Upload"; }

std::string PathBelow(const std::string& path, const std::string& root)
{
    const std::string prefix = IncludeTrailingSeparator(root);
    if (path.compare(0, prefix.size(), prefix) != 0)
        return path;
    return path.substr(prefix.size());
}

std::string MirrorPath(const std::string& path, const std::string& root)
{
    return UploadFolderPath() + kPathDelim + PathBelow(path, root);
}

std::string ListPath(const std::string& pathBelow)
{
    std::string out = pathBelow;
    for (char& c : out)
        if (c == kPathDelim)
            c = '\\';
    return out;
}

std::string WindowsNameFault(const std::string& name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            return "Windows names cannot hold control characters or line breaks";
    }
    for (const char c : name) {
        switch (c) {
        case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return std::string("Windows names cannot hold the character '") + c + "'";
        default: break;
        }
    }
    if (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        return "Windows names cannot end in a space or a dot";
    return {};
}

std::string Printable(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace tarnwick

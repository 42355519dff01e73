// names.cpp -- entry names: from paths to entry names and back to path form.
#include <string_view>

#include "runtime/filesystem.h"
#include "zip/OrvZip.h"

namespace orvzip {
namespace {

void replaceAll(std::string& s, std::string_view from, std::string_view to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// Drops everything up to and including the first occurrence of mark; true when it was found.
bool dropThrough(std::string& s, std::string_view mark)
{
    const std::size_t at = s.find(mark);
    if (at == std::string::npos)
        return false;
    s.erase(0, at + mark.size());
    return true;
}

// S of EntryFilePath / EntryFileName: separators as "\", a drive part dropped.
std::string pathForm(const std::string& name)
{
    std::string s = name;
    replaceAll(s, "//", "\\");
    replaceAll(s, "/", "\\");
    dropThrough(s, ":\\");
    return s;
}

std::size_t folderPartLength(const std::string& s)
{
    const std::size_t at = s.find_last_of("\\:");
    return at == std::string::npos ? 0 : at + 1;
}

}  // namespace

std::string ToZipName(const std::string& path)
{
    std::string s = path;
    replaceAll(s, "\\", "/");
    dropThrough(s, ":/");  // a drive such as C:/
    if (dropThrough(s, "//")) {
        dropThrough(s, "/");  // the server name
        dropThrough(s, "/");  // the share name
    }
    return s;
}

std::string ToDosName(const std::string& name)
{
    std::string s = ToZipName(name);
    replaceAll(s, "/", "\\");
    return s;
}

std::string TOrvZip::EntryFilePath(const std::string& name)
{
    const std::string s = pathForm(name);
    return s.substr(0, folderPartLength(s));
}

std::string TOrvZip::EntryFileName(const std::string& name)
{
    const std::string s = pathForm(name);
    return s.substr(folderPartLength(s));
}

std::string TOrvZipEntries::StoredName(const std::string& itemName) const
{
    std::string name = itemName;
    if (!owner_->StoreRelativePath()) {
        // The file part: behind the last "\" or ":" of a Windows path, and behind the last
        // separator of a native path, which is what a file added from disk is named by here.
        const std::size_t at = name.find_last_of(std::string("\\:") + tarnwick::kPathDelim);
        if (at != std::string::npos)
            name.erase(0, at + 1);
    }
    return ToZipName(name);
}

}  // namespace orvzip

// update_list.cpp -- writing the groups of lines of updates.lst.
#include "builder/update_list.h"

#include "runtime/textfile.h"

namespace tarnwick {

void StartUpdateList(const std::string& listPath)
{
    TTextFile list;
    list.Rewrite(listPath);
    list.WriteLine("[self]");
    list.Close();
}

void AppendToUpdateList(const std::string& listPath, const std::vector<std::string>& lines)
{
    TTextFile list;  // closed by its destructor if a write fails
    list.Append(listPath);
    for (const std::string& line : lines)
        list.WriteLine(line);
    list.Close();
}

std::string IamLine(const std::string& updaterName, std::uint32_t crc, std::int32_t size)
{
    return "IAM=" + updaterName + "|" + std::to_string(crc) + "|" + std::to_string(size);
}

std::vector<std::string> MiscLines(const std::string& serverAddress, bool modifyHost, std::int32_t fileCount)
{
    return {"[misc]", "Server=" + serverAddress, modifyHost ? "ModifyHost=1" : "ModifyHost=0", "[files]",
            "fcount=" + std::to_string(fileCount)};
}

std::string FileLine(std::int32_t index, const std::string& listPath, std::uint32_t crc, std::int32_t size,
                     const std::string& flag)
{
    return "F" + std::to_string(index) + "=" + listPath + "|" + std::to_string(crc) + "|" + std::to_string(size) +
           flag;
}

}  // namespace tarnwick

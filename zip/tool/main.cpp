// main.cpp -- orvzip, a driver of the archive component: settings, then commands applied in
// order to one component. Prints what the commands ask for on standard output; an exception
// ends the run with its message on standard error and status 1, a usage error with status 2.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "zip/OrvZip.h"

namespace {

using orvzip::TOrvZip;
using orvzip::TZipCompressionType;
using orvzip::TZipSaveMethod;

constexpr const char* kUsage =
    "usage: orvzip [--save-method fast|rebuild] [--temp-files] [--store-relative-path] [--store-folders]\n"
    "              [--compression normal|maximum|fast|superfast|none] [--events] COMMAND...\n"
    "commands:\n"
    "  create PATH         write an empty archive to PATH (what is open stays open)\n"
    "  open PATH           open the archive PATH and read its directory\n"
    "  add FILE            add a file, named after its path\n"
    "  add-as FILE NAME    add a file under the entry name NAME\n"
    "  remove INDEX        remove the entry at INDEX (0-based)\n"
    "  list                print the entry names in path form, one a line\n"
    "  info                print the archive's state as key=value lines\n"
    "  comment             print the archive comment's lines\n"
    "  set-comment TEXT    store TEXT as the archive comment (line breaks split it into lines)\n"
    "  close               close the archive\n";

struct UsageError {
    std::string message;
};

struct Settings {
    TZipSaveMethod saveMethod = TZipSaveMethod::FastSave;
    bool tempFiles = false;
    bool storeRelativePath = false;  // the settings the update-set build uses
    bool storeFolders = false;
    TZipCompressionType compression = TZipCompressionType::ctMaximum;
    bool events = false;
};

struct Command {
    std::string name;
    std::vector<std::string> args;
};

int argumentCount(const std::string& command)
{
    if (command == "create" || command == "open" || command == "add" || command == "remove" ||
        command == "set-comment")
        return 1;
    if (command == "add-as")
        return 2;
    if (command == "list" || command == "info" || command == "comment" || command == "close")
        return 0;
    return -1;
}

int parseIndex(const std::string& text)
{
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw UsageError{"remove: INDEX must be an integer, not \"" + text + "\""};
    return value;
}

// Settings up to the first word that is not one, then the commands; everything is checked
// before the first command runs.
void parseCommandLine(int argc, char** argv, Settings& settings, std::vector<Command>& commands)
{
    int i = 1;
    auto value = [&](const std::string& option) -> std::string {
        if (i + 1 >= argc)
            throw UsageError{option + " needs a value"};
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0)
            break;
        if (arg == "--save-method") {
            const std::string v = value(arg);
            if (v == "fast")
                settings.saveMethod = TZipSaveMethod::FastSave;
            else if (v == "rebuild")
                settings.saveMethod = TZipSaveMethod::RebuildAll;
            else
                throw UsageError{"--save-method takes fast or rebuild, not \"" + v + "\""};
        } else if (arg == "--compression") {
            const std::string v = value(arg);
            if (v == "normal")
                settings.compression = TZipCompressionType::ctNormal;
            else if (v == "maximum")
                settings.compression = TZipCompressionType::ctMaximum;
            else if (v == "fast")
                settings.compression = TZipCompressionType::ctFast;
            else if (v == "superfast")
                settings.compression = TZipCompressionType::ctSuperFast;
            else if (v == "none")
                settings.compression = TZipCompressionType::ctNone;
            else
                throw UsageError{"--compression takes normal, maximum, fast, superfast or none, not \"" + v + "\""};
        } else if (arg == "--temp-files") {
            settings.tempFiles = true;
        } else if (arg == "--store-relative-path") {
            settings.storeRelativePath = true;
        } else if (arg == "--store-folders") {
            settings.storeFolders = true;
        } else if (arg == "--events") {
            settings.events = true;
        } else {
            throw UsageError{"unknown setting " + arg};
        }
    }
    if (i >= argc)
        throw UsageError{"no command given"};
    while (i < argc) {
        Command command{argv[i++], {}};
        const int count = argumentCount(command.name);
        if (count < 0)
            throw UsageError{"unknown command " + command.name};
        if (i + count > argc)
            throw UsageError{command.name + " needs " + std::to_string(count) + " argument" + (count > 1 ? "s" : "")};
        for (int k = 0; k < count; ++k)
            command.args.push_back(argv[i++]);
        if (command.name == "remove")
            (void)parseIndex(command.args[0]);
        commands.push_back(std::move(command));
    }
}

void printEvents(TOrvZip& zip)
{
    auto counted = [](const char* name) {
        return [name](tarnwick::TComponent*, std::int32_t current, std::int32_t total) {
            std::cout << name << ' ' << current << ' ' << total << '\n';
        };
    };
    zip.OnCompressFile = counted("OnCompressFile");
    zip.OnZipOpen = counted("OnZipOpen");
    zip.OnRebuildZip = counted("OnRebuildZip");
    zip.OnRemoveItems = counted("OnRemoveItems");
    zip.OnZipChange = [](tarnwick::TComponent*, std::int32_t type) { std::cout << "OnZipChange " << type << '\n'; };
    zip.OnAddItem = [](tarnwick::TComponent*, const std::string& name) { std::cout << "OnAddItem " << name << '\n'; };
}

void printInfo(TOrvZip& zip)
{
    const orvzip::TEndOfCentralDirectoryRecord& end = zip.EndRecord();
    orvzip::TOrvZipEntries& entries = zip.Entries();
    std::cout << "FileName=" << zip.FileName() << '\n'
              << "IsZipFile=" << int{zip.IsZipFile()} << '\n'
              << "HasDamagedEntries=" << int{zip.HasDamagedEntries()} << '\n'
              << "ReadOnly=" << int{zip.ReadOnly()} << '\n'
              << "Count=" << entries.Count() << '\n'
              << "EndRecordPos=" << zip.EndRecordPos() << '\n'
              << "CommentPos=" << zip.CommentPos() << '\n'
              << "EntriesOnThisDisk=" << end.EntriesOnThisDisk << '\n'
              << "TotalEntries=" << end.TotalEntries << '\n'
              << "CentralDirectoryOffset=" << end.CentralDirectoryOffset << '\n'
              << "CentralDirectorySize=" << end.CentralDirectorySize << '\n'
              << "CommentLength=" << end.CommentLength << '\n';
    for (int i = 0; i < entries.Count(); ++i) {
        const orvzip::TOrvZipEntriesEntry& e = entries.Items(i);
        const orvzip::TCentralDirectoryFile& c = e.CentralRecord;
        const std::string key = "entry." + std::to_string(i) + ".";
        std::cout << key << "FileName=" << c.FileName << '\n'
                  << key << "CompressionMethod=" << c.CompressionMethod << '\n'
                  << key << "CompressionType=" << orvzip::ToString(e.CompressionType) << '\n'
                  << key << "Crc32=" << c.Crc32 << '\n'
                  << key << "CompressedSize=" << c.CompressedSize << '\n'
                  << key << "UncompressedSize=" << c.UncompressedSize << '\n'
                  << key << "RelativeOffsetOfLocalHeader=" << c.RelativeOffsetOfLocalHeader << '\n'
                  << key << "ExternalFileAttributes=" << c.ExternalFileAttributes << '\n'
                  << key << "FolderEntry=" << int{e.FolderEntry} << '\n'
                  << key << "Encrypted=" << int{e.Encrypted} << '\n'
                  << key << "LastModFileTimeDate=" << c.LastModFileTimeDate << '\n'
                  << key << "LocalSignature=" << e.LocalRecord.Signature << '\n';
    }
}

void run(TOrvZip& zip, const Command& command)
{
    const std::string& name = command.name;
    if (name == "create") {
        zip.CreateArchiveFile(command.args[0]);
    } else if (name == "open") {
        zip.OpenArchiveFile(command.args[0]);
    } else if (name == "add") {
        if (zip.AddFileEntry(command.args[0]) == nullptr)
            throw tarnwick::Exception("add: nothing found at \"" + command.args[0] + "\"");
    } else if (name == "add-as") {
        if (zip.Entries().AddFileEntryAs(command.args[0], command.args[1]) == nullptr)
            throw tarnwick::Exception("add-as: nothing found at \"" + command.args[0] + "\"");
    } else if (name == "remove") {
        zip.Entries().RemoveEntry(parseIndex(command.args[0]));
    } else if (name == "list") {
        for (const std::string& line : zip.FileNames().Lines())
            std::cout << line << '\n';
    } else if (name == "info") {
        printInfo(zip);
    } else if (name == "comment") {
        for (const std::string& line : zip.Comment().Lines())
            std::cout << line << '\n';
    } else if (name == "set-comment") {
        tarnwick::TStringList lines;
        lines.SetText(command.args[0]);
        zip.SetComment(lines);
    } else if (name == "close") {
        zip.CloseArchive();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::cout << kUsage;
        return 0;
    }
    Settings settings;
    std::vector<Command> commands;
    try {
        parseCommandLine(argc, argv, settings, commands);
    } catch (const UsageError& e) {
        std::cerr << "orvzip: " << e.message << '\n' << kUsage;
        return 2;
    }

    try {
        TOrvZip zip(nullptr);
        zip.SetSaveMethod(settings.saveMethod);
        zip.SetUseTempFiles(settings.tempFiles);
        zip.SetStoreRelativePath(settings.storeRelativePath);
        zip.SetStoreFolders(settings.storeFolders);
        zip.SetCompressionType(settings.compression);
        if (settings.events)
            printEvents(zip);
        for (const Command& command : commands)
            run(zip, command);
        std::cout.flush();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}

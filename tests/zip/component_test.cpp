// component_test.cpp -- TOrvZip: defaults, published properties and their setters, opening and
// closing with their notifications, the name list and the derived fields of entries.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace orvzip {
namespace {

using tarnwick::test::FromHex;
using tarnwick::test::TempDir;
using tarnwick::test::WriteFileBytes;
using test::EventLog;
using Lines = std::vector<std::string>;

const std::string kEmptyArchive = FromHex("50 4B 05 06") + std::string(18, '\0');

TEST(Component, DefaultsAfterCreate)
{
    TOrvZip zip(nullptr);
    EXPECT_FALSE(zip.IsZipFile());
    EXPECT_FALSE(zip.Active());
    EXPECT_EQ(zip.FileName(), "");
    EXPECT_EQ(zip.ComponentVersion(), "2.0");
    EXPECT_EQ(zip.SaveMethod(), TZipSaveMethod::FastSave);
    EXPECT_TRUE(zip.StoreRelativePath());
    EXPECT_TRUE(zip.StoreFolders());
    EXPECT_EQ(zip.CompressionType(), TZipCompressionType::ctMaximum);
    EXPECT_FALSE(zip.UseTempFiles());
    EXPECT_EQ(zip.OverwriteAction(), TOverwriteAction::oaSkip);
    EXPECT_FALSE(zip.ReadOnly());
    EXPECT_TRUE(zip.ApplyAtributes());
    EXPECT_EQ(zip.FileNames().Count(), 0);
    EXPECT_EQ(zip.Comment().Count(), 0);
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_FALSE(zip.Entries().ArchiveValid());
    EXPECT_FALSE(zip.OnZipChange || zip.OnZipOpen || zip.OnCompressFile || zip.OnAddItem);
}

TEST(Component, PublishedPropertiesInOrderWithTheirDefaults)
{
    TOrvZip zip(nullptr);
    const std::vector<tarnwick::TPropertyInfo> props = zip.PublishedProperties();
    Lines names;
    for (const auto& p : props)
        names.push_back(p.Name);
    EXPECT_EQ(names, (Lines{"Name", "Tag", "FileName", "IsZipFile", "SaveMethod", "StoreRelativePath", "StoreFolders",
                            "CompressionType", "Comment", "FileNames", "UseTempFiles", "OverwriteAction",
                            "ComponentVersion", "ReadOnly", "ApplyAtributes", "OnDecompressFile", "OnCompressFile",
                            "OnZipChange", "OnZipOpen", "OnAddItem", "OnRebuildZip", "OnRemoveItems",
                            "OnOverwriteFile", "Active"}));
    // A new component reads its declared defaults; events have no text form.
    for (const auto& p : props) {
        if (p.Name == "Comment" || p.Name == "FileNames")
            EXPECT_EQ(p.GetText(), "") << p.Name;
        else if (p.GetText)
            EXPECT_EQ(p.GetText(), p.Default) << p.Name;
        else
            EXPECT_EQ(p.Name.rfind("On", 0), 0u) << p.Name;
    }
}

TEST(Component, FormResourceSetsPropertiesByNameAndOpensLast)
{
    TempDir dir;
    const std::string path = dir / "res.zip";
    WriteFileBytes(path, kEmptyArchive);

    TOrvZip zip(nullptr);
    EventLog log(zip);
    // The settings of the form's OrvZip1, and an Active that must run after FileName although
    // it comes first here; read-only properties take their text and change nothing.
    tarnwick::ApplyResource(zip, tarnwick::ParseResourceText("Active = True\n"
                                                             "IsZipFile = True\n"
                                                             "SaveMethod = RebuildAll\n"
                                                             "StoreRelativePath = False\n"
                                                             "StoreFolders = False\n"
                                                             "CompressionType = ctUnknown\n"
                                                             "UseTempFiles = True\n"
                                                             "OverwriteAction = oaOverwriteAll\n"
                                                             "ComponentVersion = '9.9'\n"
                                                             "ReadOnly = False\n"
                                                             "ApplyAtributes = False\n"
                                                             "FileName = '" + path + "'\n"
                                                             "Name = OrvZip1\n"));
    EXPECT_EQ(zip.Name(), "OrvZip1");
    EXPECT_EQ(zip.SaveMethod(), TZipSaveMethod::RebuildAll);
    EXPECT_FALSE(zip.StoreRelativePath());
    EXPECT_FALSE(zip.StoreFolders());
    EXPECT_EQ(zip.CompressionType(), TZipCompressionType::ctNormal);
    EXPECT_TRUE(zip.UseTempFiles());
    EXPECT_EQ(zip.OverwriteAction(), TOverwriteAction::oaOverwriteAll);
    EXPECT_EQ(zip.ComponentVersion(), "2.0");
    EXPECT_FALSE(zip.ApplyAtributes());
    EXPECT_TRUE(zip.Active());
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 0", "OnZipChange 1"}));

    EXPECT_THROW(tarnwick::ApplyResource(zip, {{"CompressionType", "ctBest"}}), tarnwick::EPropertyError);
    EXPECT_THROW(tarnwick::ApplyResource(zip, {{"NoSuchProperty", "1"}}), tarnwick::EPropertyError);
}

TEST(Component, SettersStoreWhatTheyShould)
{
    TOrvZip zip(nullptr);
    for (auto t : {TZipCompressionType::ctNormal, TZipCompressionType::ctMaximum, TZipCompressionType::ctFast,
                   TZipCompressionType::ctSuperFast, TZipCompressionType::ctNone}) {
        zip.SetCompressionType(t);
        EXPECT_EQ(zip.CompressionType(), t);
    }
    zip.SetCompressionType(TZipCompressionType::ctUnknown);
    EXPECT_EQ(zip.CompressionType(), TZipCompressionType::ctNormal);

    zip.SetIsZipFile(true);
    zip.SetFileNames(TStringList{"x"});
    zip.SetComponentVersion("3.0");
    EXPECT_FALSE(zip.IsZipFile());
    EXPECT_EQ(zip.FileNames().Count(), 0);
    EXPECT_EQ(zip.ComponentVersion(), "2.0");

    // FileName opens nothing; Active with an empty FileName does nothing at all.
    EventLog log(zip);
    zip.SetActive(true);
    EXPECT_FALSE(zip.Active());
    zip.SetFileName("/nonexistent/a.zip");
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(Component, OpenEmptyArchiveAndClose)
{
    TempDir dir;
    const std::string path = dir / "empty.zip";
    TOrvZip zip(nullptr);
    zip.CreateArchiveFile(path);
    EXPECT_EQ(tarnwick::test::ReadFileBytes(path), kEmptyArchive);
    EXPECT_EQ(zip.ArchiveStream(), nullptr);  // created, not opened

    EventLog log(zip);
    zip.OpenArchiveFile(path);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries().Count(), 0);
    EXPECT_EQ(zip.EndRecordPos(), 0u);
    EXPECT_EQ(zip.CommentPos(), 22u);
    EXPECT_FALSE(zip.ReadOnly());
    EXPECT_FALSE(zip.HasDamagedEntries());
    EXPECT_EQ(zip.FileName(), path);
    zip.CloseArchive();
    zip.CloseArchive();  // closing a closed component notifies as well
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 0", "OnZipChange 1", "OnZipChange 0", "OnZipChange 0"}));
    EXPECT_FALSE(zip.Active());
    EXPECT_EQ(zip.FileName(), path);
}

TEST(Component, CreateArchiveFileLeavesTheOpenArchiveOpen)
{
    TempDir dir;
    TOrvZip zip(nullptr);
    zip.CreateArchiveFile(dir / "a.zip");
    zip.OpenArchiveFile(dir / "a.zip");
    zip.CreateArchiveFile(dir / "b.zip");
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.FileName(), dir / "a.zip");
    EXPECT_THROW_MSG(zip.CreateArchiveFile(dir / "no/such/folder.zip"), tarnwick::EFCreateError,
                     "Impossible de créer le fichier " + dir / "no/such/folder.zip");
}

TEST(Component, OpeningWhatIsNoArchive)
{
    TempDir dir;
    TOrvZip zip(nullptr);
    EventLog log(zip);

    // A text file: closed again, FileName set, no exception.
    WriteFileBytes(dir / "notes.txt", "just some text, no archive at all\r\n");
    zip.OpenArchiveFile(dir / "notes.txt");
    EXPECT_FALSE(zip.IsZipFile());
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_EQ(zip.Entries().Count(), 0);
    EXPECT_EQ(zip.FileName(), dir / "notes.txt");
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 0", "OnZipChange 0", "OnZipChange 1"}));

    // Nothing at the path: the documented message; FileName keeps its value.
    log.Clear();
    const std::string missing = dir / "missing.zip";
    EXPECT_THROW_MSG(zip.OpenArchiveFile(missing), tarnwick::Exception, "File \"" + missing + "\" not found!");
    EXPECT_EQ(zip.FileName(), dir / "notes.txt");
    EXPECT_EQ(log.Lines(), (Lines{"OnZipChange 0"}));

    // A folder matches the look-up but cannot be opened as a file.
    EXPECT_THROW_MSG(zip.OpenArchiveFile(dir.path()), tarnwick::EFOpenError,
                     "Impossible d'ouvrir le fichier " + dir.path());
    EXPECT_FALSE(zip.IsZipFile());
}

TEST(Component, ReadOnlyFileOpensForReadingOnly)
{
    TempDir dir;
    const std::string path = dir / "ro.zip";
    WriteFileBytes(path, kEmptyArchive);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    TOrvZip zip(nullptr);
    zip.OpenArchiveFile(path);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.ReadOnly());
    zip.CloseArchive();
    EXPECT_FALSE(zip.ReadOnly());
}

TEST(Component, ZipChangedCanBeOverridden)
{
    struct Watching : TOrvZip {
        using TOrvZip::TOrvZip;
        std::vector<std::int32_t> seen;
        void ZipChanged(TComponent* sender, std::int32_t changeType) override
        {
            EXPECT_EQ(sender, this);
            seen.push_back(changeType);
        }
    };
    Watching zip(nullptr);
    zip.CloseArchive();
    EXPECT_EQ(zip.seen, (std::vector<std::int32_t>{0}));
}

TEST(Component, OwnerFreesTheComponent)
{
    auto* owner = new tarnwick::TComponent(nullptr);
    auto* zip = new TOrvZip(owner);
    zip->SetName("OrvZip1");
    EXPECT_EQ(owner->FindComponent("OrvZip1"), zip);
    delete owner;  // frees zip; a leak or double free shows under the sanitizer build
}

struct NameCase {
    std::string name, path, file;
};

TEST(Component, EntryFilePathAndEntryFileName)
{
    const std::vector<NameCase> cases = {
        {"Data/Sub/file.bin", "Data\\Sub\\", "file.bin"},
        {"a//b", "a\\", "b"},
        {"C:/x/y.txt", "x\\", "y.txt"},
        {"file.bin", "", "file.bin"},
        {"Games/", "Games\\", ""},
        {"/map.dat", "\\", "map.dat"},
        {"D:file", "D:", "file"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(TOrvZip::EntryFilePath(c.name), c.path) << c.name;
        EXPECT_EQ(TOrvZip::EntryFileName(c.name), c.file) << c.name;
    }
}

TEST(Component, FileNamesInPathFormRebuiltOnlyWhenStale)
{
    TOrvZip zip(nullptr);
    for (const char* name : {"Data/Sub/file.bin", "a//b", "C:/x/y.txt"})
        zip.Entries().Add().CentralRecord.FileName = name;
    EXPECT_TRUE(zip.NamesStale());
    EXPECT_EQ(zip.FileNames().Lines(), (Lines{"Data\\Sub\\file.bin", "a\\b", "x\\y.txt"}));
    EXPECT_FALSE(zip.NamesStale());
    zip.Entries().Add().CentralRecord.FileName = "late";
    EXPECT_EQ(zip.FileNames().Count(), 3);  // not stale: the list is handed out as it is
    zip.CloseArchive();
    EXPECT_EQ(zip.FileNames().Count(), 0);
}

TEST(Component, DerivedFieldsOfAnEntry)
{
    struct Case {
        std::uint16_t method, flag;
        std::uint32_t attributes;
        TZipCompressionType type;
        bool encrypted, folder;
    };
    const Case cases[] = {
        {8, 0, 0x20, TZipCompressionType::ctNormal, false, false},
        {8, 2, 0x20, TZipCompressionType::ctMaximum, false, false},
        {8, 4, 0x20, TZipCompressionType::ctFast, false, false},
        {8, 6, 0x20, TZipCompressionType::ctSuperFast, false, false},
        {9, 2, 0x20, TZipCompressionType::ctMaximum, false, false},
        {0, 6, 0x20, TZipCompressionType::ctUnknown, false, false},
        {12, 0, 0x20, TZipCompressionType::ctUnknown, false, false},
        {8, 1 | 8, 0x20, TZipCompressionType::ctNormal, true, false},
        {0, 0, 0x10, TZipCompressionType::ctUnknown, false, true},
        {0, 0, 0x41ED0010, TZipCompressionType::ctUnknown, false, true},
    };
    TOrvZip zip(nullptr);
    TOrvZipEntriesEntry& e = zip.Entries().Add();
    EXPECT_FALSE(e.Selected);
    for (const Case& c : cases) {
        e.CentralRecord.CompressionMethod = c.method;
        e.CentralRecord.GeneralPurposeBitFlag = c.flag;
        e.CentralRecord.ExternalFileAttributes = c.attributes;
        e.DeriveFlags();
        EXPECT_EQ(e.CompressionType, c.type) << c.method << "/" << c.flag;
        EXPECT_EQ(e.Encrypted, c.encrypted) << c.method << "/" << c.flag;
        EXPECT_EQ(e.FolderEntry, c.folder) << c.attributes;
    }
    e.DeriveDate((44u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) | 5u);
    EXPECT_EQ(e.EntryDate, (tarnwick::TDateTime{2024, 5, 6, 7, 8, 10, 0}));
    EXPECT_THROW(e.DeriveDate(0), tarnwick::EConvertError);
}

TEST(Component, ItemsOutsideTheCollectionRaiseTheListError)
{
    TOrvZip zip(nullptr);
    zip.Entries().Add();
    EXPECT_THROW_MSG(zip.Entries().Items(1), tarnwick::EListError, "Index de liste hors limites (1)");
    EXPECT_THROW_MSG(zip.Entries().Items(-1), tarnwick::EListError, "Index de liste hors limites (-1)");
    EXPECT_EQ(&zip.Entries().Items(0).OwnerEntries(), &zip.Entries());
    EXPECT_EQ(&zip.Entries().OwnerZip(), &zip);
}

}  // namespace
}  // namespace orvzip

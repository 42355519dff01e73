// fuzz_names.cpp -- entry names from untrusted bytes: ToZipName, ToDosName, EntryFilePath and
// EntryFileName.
//
// What must hold for any bytes: an entry name has no "\"; a DOS name has no "/"; the file part
// has neither separator nor ":"; the folder part is empty or ends in "\" or ":"; nothing grows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_common.h"
#include "zip/OrvZip.h"

using tarnwick::fuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);

    const std::string zipName = orvzip::ToZipName(name);
    Expect(zipName.find('\\') == std::string::npos, "ToZipName kept a backslash");
    Expect(zipName.size() <= name.size(), "ToZipName grew the name");

    const std::string dosName = orvzip::ToDosName(name);
    Expect(dosName.find('/') == std::string::npos, "ToDosName kept a slash");
    Expect(dosName.size() == zipName.size(), "ToDosName and ToZipName differ in length");

    const std::string path = orvzip::TOrvZip::EntryFilePath(name);
    const std::string file = orvzip::TOrvZip::EntryFileName(name);
    Expect(file.find_first_of("\\/:") == std::string::npos, "EntryFileName holds a separator");
    Expect(path.find('/') == std::string::npos, "EntryFilePath holds a slash");
    Expect(path.empty() || path.back() == '\\' || path.back() == ':', "EntryFilePath does not end a folder");
    Expect(path.size() + file.size() <= name.size(), "the path form grew the name");

    // The path form of a name already in path form is itself.
    const std::string joined = path + file;
    Expect(orvzip::TOrvZip::EntryFilePath(joined) + orvzip::TOrvZip::EntryFileName(joined) == joined ||
               joined.find(":\\") != std::string::npos,
           "the path form of a path form differs");
    return 0;
}

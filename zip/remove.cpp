// remove.cpp -- removing entries, in place or by a rebuild.
#include "zip/OrvZip.h"

namespace orvzip {

void TOrvZipEntries::RemoveEntryAt(int index)
{
    (void)Items(index);  // the list-index error comes first
    throw tarnwick::Exception("Removing entries: not supported yet");
}

void TOrvZipEntries::RemoveEntry(int index) { RemoveEntryAt(index); }

}  // namespace orvzip

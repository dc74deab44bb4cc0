// Feeds arbitrary bytes to the XML reader; whatever it accepts must write
// back, read again and write back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream input(std::string_view(reinterpret_cast<const char*>(data), size));
    TOrvParser doc;
    try {
        doc.LoadFromStream(input);
    } catch (const OrvException&) {
        return 0;
    }
    std::string first;
    try {
        first = doc.SaveToString();
    } catch (const OrvException& e) {
        // A damaged file may yield an element name that would read back as
        // other markup ("< /a>" names an element "/a"); the writer refuses
        // those. Attribute values of a loaded document are always writable.
        if (e.Message().find("Element name cannot be written") == std::string::npos) std::abort();
        return 0;
    }
    TOrvParser again;
    TMemoryStream written(first);
    try {
        again.LoadFromStream(written);
    } catch (const OrvException&) {
        std::abort();
    }
    if (again.SaveToString() != first) std::abort();

    // A deep copy writes exactly like its original.
    TOrvXMLTag copy;
    copy.Assign(&doc);
    if (copy.TagCount() != doc.TagCount()) std::abort();
    for (int i = 0; i < doc.TagCount(); ++i)
        if (copy.GetTag(i)->ToText(1) != doc.GetTag(i)->ToText(1) || copy.GetTag(i)->Parent != &copy) std::abort();
    return 0;
}

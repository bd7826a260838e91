// CXmlDocument on any text: loading, the queries the programs make, and writing the markup back.

#include <cstdint>
#include <string_view>

#include "common/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    zn::CXmlDocument document;
    if (document.LoadXml(text) != zn::CXmlDocument::kLoaded) {
        return 0;
    }
    auto nodes = document.SelectNodes("//*");
    for (long i = 0; i < nodes.Length(); ++i) {
        const auto node = nodes.Item(i);
        node.GetAttribute("IP");
        node.Text();
    }
    const std::string markup = document.DocumentElement().Xml();
    // What the programs write must load again.
    zn::CXmlDocument again;
    if (!markup.empty() && again.LoadXml(markup) != zn::CXmlDocument::kLoaded) {
        __builtin_trap();
    }
    return 0;
}

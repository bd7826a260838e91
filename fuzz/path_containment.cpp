// A manifest's relative path ("ModulePath", "CopyTo") of any text, resolved in a folder that holds
// a link to the root and a link to its parent: whatever is taken lies inside the folder.

#include <spdlog/spdlog.h>

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "FuzzSupport.h"
#include "update/ManifestPath.h"

namespace {

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        spdlog::set_level(spdlog::level::off);  // every refusal is logged
        const std::filesystem::path made = zn::fuzz::ScratchFolder() / "Content";
        std::filesystem::create_directories(made / "skin");
        std::filesystem::create_symlink("/", made / "root");
        std::filesystem::create_symlink("..", made / "skin" / "up");
        return std::filesystem::canonical(made);
    }();
    return folder;
}

bool IsWithin(const std::filesystem::path& outer, const std::filesystem::path& inner) {
    const auto relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto file = zn::ResolveInsideFolder(Folder(), text);
    if (!file) {
        return 0;
    }
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(*file, error);
    if (!error && !IsWithin(Folder(), real)) {
        __builtin_trap();
    }
    return 0;
}

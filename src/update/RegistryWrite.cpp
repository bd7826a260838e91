#include "update/RegistryWrite.h"

#include <array>
#include <cstdint>
#include <string>

#include "platform/Log.h"
#include "update/DecimalText.h"

namespace zn {

namespace {

constexpr std::string_view kVendorKey = "SOFTWARE\\Pexora";

struct KeyPath {
    RegistryRoot root;
    std::string subkey;
};

std::optional<KeyPath> RootedPath(std::string_view path) {
    constexpr std::array kRoots = {RegistryRoot::ClassesRoot, RegistryRoot::CurrentUser,
                                   RegistryRoot::LocalMachine, RegistryRoot::Users,
                                   RegistryRoot::CurrentConfig};
    for (const RegistryRoot root : kRoots) {
        const std::string_view rootName = RegistryRootName(root);
        if (path.starts_with(rootName) &&
            (path.size() == rootName.size() || path[rootName.size()] == '\\')) {
            const std::string_view rest = path.substr(rootName.size());
            return KeyPath{root, std::string(rest.empty() ? rest : rest.substr(1))};
        }
    }
    return std::nullopt;
}

}  // namespace

int WriteRegistryValue(const Registry& registry, std::string_view path, std::string_view name,
                       std::string_view value, std::string_view type) {
    std::optional<KeyPath> keyPath = RootedPath(path);
    if (!keyPath) {
        if (!registry.OpenKey(RegistryRoot::LocalMachine, kVendorKey)) {
            log::Warn(
                "Registry value \"{}\" of \"{}\" not written: HKEY_LOCAL_MACHINE\\{} is missing",
                name, path, kVendorKey);
            return kRegistryKeyMissing;
        }
        keyPath =
            KeyPath{RegistryRoot::LocalMachine, std::string(kVendorKey) + "\\" + std::string(path)};
    }
    const auto key = registry.CreateKey(keyPath->root, keyPath->subkey);
    if (!key) {
        log::Error("Cannot create the registry key {}\\{}", RegistryRootName(keyPath->root),
                   keyPath->subkey);
        return kRegistryDenied;
    }
    const bool written =
        type == "REG_DWORD" ? key->SetDword(name, static_cast<std::uint32_t>(LeadingDecimal(value)))
                            : key->SetString(name, value);
    if (!written) {
        log::Error("Cannot write the registry value \"{}\" of {}\\{}", name,
                   RegistryRootName(keyPath->root), keyPath->subkey);
        return kRegistryDenied;
    }
    return 0;
}

}  // namespace zn

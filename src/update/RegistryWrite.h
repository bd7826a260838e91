#pragma once

#include <string_view>

#include "platform/Registry.h"

namespace zn {

// Results of WriteRegistryValue besides 0, with the numbers Windows gives them.
inline constexpr int kRegistryKeyMissing = 2;  // ERROR_FILE_NOT_FOUND
inline constexpr int kRegistryDenied = 5;      // ERROR_ACCESS_DENIED: the key or value not written

// Writes one value of a deployment script. A path that starts with a root name and a backslash
// ("HKEY_CURRENT_USER\Software\X") names a key below that root; any other path is a key below
// HKEY_LOCAL_MACHINE\SOFTWARE\Pexora, and nothing is written when that key is missing. The key
// is created when needed. Type "REG_DWORD" stores the number that the value's leading digits
// form; any other type stores the text. 0 on success, else one of the codes above (logged).
int WriteRegistryValue(const Registry& registry, std::string_view path, std::string_view name,
                       std::string_view value, std::string_view type);

}  // namespace zn

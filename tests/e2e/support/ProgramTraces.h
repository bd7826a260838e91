#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Sandbox.h"

namespace zn::e2e {

// Lines of a dialog log holding every one of the parts.
std::size_t CountDialogLines(const std::filesystem::path& log,
                             const std::vector<std::string_view>& parts);
// The last of those lines; empty when there is none.
std::string LastDialogLine(const std::filesystem::path& log,
                           const std::vector<std::string_view>& parts);
bool WaitForDialogLine(const std::filesystem::path& log, const std::vector<std::string_view>& parts,
                       std::chrono::milliseconds limit, std::size_t count = 1);

// Whether a live program has published a window with this caption in the sandbox.
bool WaitForCaption(const zn::test::Sandbox& sandbox, std::string_view caption,
                    std::chrono::milliseconds limit);

}  // namespace zn::e2e

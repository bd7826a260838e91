#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zn {

// The pages whose clicks a program's page event table answers.
struct PageOrigins {
    // Pages of the same scheme, host and port as one of these addresses.
    std::vector<std::string> addresses;
    // http and https pages whose host is one of these, or lies below one of them.
    std::vector<std::string> domains;
    // Local files inside one of these folders.
    std::vector<std::filesystem::path> folders;
};

}  // namespace zn

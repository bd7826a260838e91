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
    // The sites of these addresses, as an operator's web host moves between them: pages of the
    // same host and port under http or https, and http and https pages of every host of the same
    // registrable domain ("www.example.com" for "bo.example.com").
    std::vector<std::string> sites = {};
    // Whether the origin where a load that began at an admitted page ended after the server's
    // redirects is admitted too, for the rest of the run.
    bool followRedirects = false;
};

}  // namespace zn

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <httplib.h>

namespace zn::webhost {

// Serves update releases from a folder: GET /<path> answers the file <folder>/<path> with its
// Content-Length, read piece by piece. A release is a folder holding "Version.xml" or
// "ContentUpdate.xml"; when its Version_File carries a "UserName", the release's module files and
// their signatures (not the manifests and theirs, "<manifest>.minisig") need that user name and
// "Password" by HTTP basic authentication. The module files of a release whose manifest does not
// parse are not served at all.
class ReleaseFiles {
public:
    explicit ReleaseFiles(std::filesystem::path folder);

    // Answers 404 for anything outside the folder, missing, with a NUL byte in its path, or in a
    // release whose manifest does not parse; 401 without the credentials.
    void Serve(const httplib::Request& request, httplib::Response& response) const;

private:
    struct Credentials {
        std::string userName;
        std::string password;
    };
    // The credentials that the nearest release around the file asks for; empty when none, nullopt
    // when its manifest does not parse (so nobody can tell what it asks for).
    std::optional<std::vector<Credentials>> RequiredCredentials(
        const std::filesystem::path& file) const;

    std::filesystem::path m_folder;
};

}  // namespace zn::webhost

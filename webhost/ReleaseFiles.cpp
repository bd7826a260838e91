#include "ReleaseFiles.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <system_error>

#include "common/XmlDocument.h"
#include "update/Manifest.h"
#include "update/ManifestPath.h"

namespace zn::webhost {

namespace {

constexpr std::array<std::string_view, 2> kManifestNames = {"Version.xml", "ContentUpdate.xml"};
constexpr std::string_view kSignatureSuffix = ".minisig";
constexpr std::size_t kPieceBytes = 256 * 1024;

// A manifest or its signature: both are fetched without credentials.
bool IsManifestName(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    if (name.ends_with(kSignatureSuffix)) {
        name.resize(name.size() - kSignatureSuffix.size());
    }
    return std::find(kManifestNames.begin(), kManifestNames.end(), name) != kManifestNames.end();
}

std::string ContentType(const std::filesystem::path& file) {
    return file.extension() == ".xml" ? "text/xml" : "application/octet-stream";
}

}  // namespace

ReleaseFiles::ReleaseFiles(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::optional<std::vector<ReleaseFiles::Credentials>> ReleaseFiles::RequiredCredentials(
    const std::filesystem::path& file) const {
    std::vector<Credentials> required;
    for (std::filesystem::path folder = file.parent_path();; folder = folder.parent_path()) {
        bool isRelease = false;
        for (const std::string_view name : kManifestNames) {
            std::error_code error;
            if (!std::filesystem::exists(folder / name, error) && !error) {
                continue;
            }
            CXmlDocument manifest;
            if (manifest.Load(folder / name) != CXmlDocument::kLoaded) {
                return std::nullopt;
            }
            isRelease = true;
            if (!ReadUserName(manifest).empty()) {
                required.push_back({ReadUserName(manifest), ReadPassword(manifest)});
            }
        }
        if (isRelease || folder == m_folder || !folder.has_relative_path()) {
            return required;
        }
    }
}

void ReleaseFiles::Serve(const httplib::Request& request, httplib::Response& response) const {
    response.status = 404;
    const std::size_t start = request.path.find_first_not_of('/');
    // A decoded "%00" would end the name the file system sees, after the checks saw another one.
    if (start == std::string::npos || request.path.find('\\') != std::string::npos ||
        request.path.find('\0') != std::string::npos) {
        return;
    }
    const std::string relative = request.path.substr(start);
    const auto file = ResolveInsideFolder(m_folder, relative);
    std::error_code error;
    if (!file || !std::filesystem::is_regular_file(*file, error)) {
        return;
    }
    if (!IsManifestName(*file)) {
        const auto required = RequiredCredentials(*file);
        if (!required) {
            return;
        }
        const bool allowed =
            required->empty() ||
            std::any_of(required->begin(), required->end(), [&](const Credentials& credentials) {
                return request.get_header_value("Authorization") ==
                       httplib::make_basic_authentication_header(credentials.userName,
                                                                 credentials.password)
                           .second;
            });
        if (!allowed) {
            response.status = 401;
            response.set_header("WWW-Authenticate", "Basic realm=\"releases\"");
            return;
        }
    }
    auto input = std::make_shared<std::ifstream>(*file, std::ios::binary);
    const auto size = std::filesystem::file_size(*file, error);
    if (!*input || error) {
        return;
    }
    response.status = 200;
    response.set_content_provider(
        static_cast<std::size_t>(size), ContentType(*file),
        [input](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::string piece(std::min(length, kPieceBytes), '\0');
            input->seekg(static_cast<std::streamoff>(offset));
            input->read(piece.data(), static_cast<std::streamsize>(piece.size()));
            const auto got = static_cast<std::size_t>(input->gcount());
            return got > 0 && sink.write(piece.data(), got);
        });
}

}  // namespace zn::webhost

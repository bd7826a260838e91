#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zn {
class CXmlDocument;
}

namespace zn::console {

inline constexpr std::string_view kSeatListFileName = "SeatList.xml";

// Read access to SeatList.xml, which maps seat addresses to the seat numbers painted on the
// seats.
class CSeatList {
public:
    CSeatList();
    ~CSeatList();
    CSeatList(const CSeatList&) = delete;
    CSeatList& operator=(const CSeatList&) = delete;

    // Loads SeatList.xml from the folder; the result is the document's load result, which callers
    // may ignore: a list that did not load finds nothing.
    int Open(const std::filesystem::path& folder);
    // The text of the first Seat whose IP attribute equals the address exactly, else empty. An
    // address that cannot form a valid query finds nothing.
    std::string LookUp(std::string_view address) const;
    void Close();

private:
    std::unique_ptr<CXmlDocument> m_document;
};

// The seat list of one file, parsed once for as long as the file stays the same (device, inode,
// size, modification time): the file stays the only truth, and an edit counts at the next
// look-up. Any thread.
class SeatListCache {
public:
    // As CSeatList::LookUp on a freshly opened list.
    std::string LookUp(const std::filesystem::path& file, std::string_view address);
    // How often a file was parsed; for tests.
    std::size_t Parses() const;

private:
    struct FileIdentity {
        std::uintmax_t device = 0;
        std::uintmax_t inode = 0;
        std::uintmax_t size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    using Seats = std::unordered_map<std::string, std::string>;

    mutable std::mutex m_mutex;
    std::filesystem::path m_file;
    FileIdentity m_identity;
    std::shared_ptr<const Seats> m_seats;  // null: nothing kept
    std::size_t m_parses = 0;
};

// The seat number of the folder's seat list for the address; empty when the seat is not known.
std::string LookUpSeat(const std::filesystem::path& folder, std::string_view address);

}  // namespace zn::console

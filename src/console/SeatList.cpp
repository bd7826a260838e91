#include "console/SeatList.h"

#include <sys/stat.h>

#include <chrono>
#include <optional>

#include "common/XmlDocument.h"

namespace zn::console {

namespace {

// Seats in document order; the query the look-up builds, without the address.
constexpr std::string_view kSeatsWithAddress = "descendant::SeatList/Seat[@IP]";

// A file changed within the same tick of the file system's clock keeps its modification time, so
// a list younger than this is parsed again at every look-up instead of being kept.
constexpr std::chrono::seconds kSettledAge{2};

}  // namespace

CSeatList::CSeatList() = default;
CSeatList::~CSeatList() = default;

int CSeatList::Open(const std::filesystem::path& folder) {
    m_document = std::make_unique<CXmlDocument>();
    return m_document->Load(folder / kSeatListFileName);
}

std::string CSeatList::LookUp(std::string_view address) const {
    if (!m_document) {
        return {};
    }
    // Built as text on purpose: the address is compared as typed, and one that breaks the query
    // simply finds nothing.
    const std::string query = "descendant::SeatList/Seat[@IP=\"" + std::string(address) + "\"]";
    return m_document->SelectSingleNode(query).Text();
}

void CSeatList::Close() {
    m_document.reset();
}

std::string SeatListCache::LookUp(const std::filesystem::path& file, std::string_view address) {
    // Such an address breaks the query of an opened list, which then finds nothing.
    if (address.find('"') != std::string_view::npos) {
        return {};
    }
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) {
        return {};
    }
    const FileIdentity identity{
        status.st_dev, status.st_ino, static_cast<std::uintmax_t>(status.st_size),
        std::int64_t{status.st_mtim.tv_sec} * 1'000'000'000 + status.st_mtim.tv_nsec};
    std::shared_ptr<const Seats> seats;
    {
        const std::lock_guard lock(m_mutex);
        if (m_seats && m_file == file && m_identity == identity) {
            seats = m_seats;
        }
    }
    if (!seats) {
        CXmlDocument document;
        document.Load(file);
        auto parsed = std::make_shared<Seats>();
        CXmlNodeList nodes = document.SelectNodes(kSeatsWithAddress);
        for (CXmlNode seat = nodes.NextNode(); seat; seat = nodes.NextNode()) {
            parsed->emplace(seat.GetAttribute("IP"), seat.Text());  // the first one wins
        }
        seats = parsed;
        const auto age = std::chrono::system_clock::now().time_since_epoch() -
                         std::chrono::nanoseconds(identity.modifiedNs);
        const std::lock_guard lock(m_mutex);
        ++m_parses;
        if (age >= kSettledAge) {
            m_file = file;
            m_identity = identity;
            m_seats = std::move(parsed);
        } else {
            m_seats.reset();
        }
    }
    const auto found = seats->find(std::string(address));
    return found == seats->end() ? std::string() : found->second;
}

std::size_t SeatListCache::Parses() const {
    const std::lock_guard lock(m_mutex);
    return m_parses;
}

std::string LookUpSeat(const std::filesystem::path& folder, std::string_view address) {
    static SeatListCache cache;
    return cache.LookUp(folder / kSeatListFileName, address);
}

}  // namespace zn::console

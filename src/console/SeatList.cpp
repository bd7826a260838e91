#include "console/SeatList.h"

#include "common/XmlDocument.h"

namespace zn::console {

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

std::string LookUpSeat(const std::filesystem::path& folder, std::string_view address) {
    CSeatList seats;
    seats.Open(folder);
    std::string seat = seats.LookUp(address);
    seats.Close();
    return seat;
}

}  // namespace zn::console

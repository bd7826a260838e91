#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace zn {
class CXmlDocument;
}

namespace zn::console {

inline constexpr std::string_view kSeatListFileName = "SeatList.xml";

// Read access to SeatList.xml, which maps seat addresses to the seat numbers painted on the
// seats. Every look-up in the console opens a fresh accessor, so an edited file counts at once.
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

// Opens the folder's seat list, asks once and closes it. Empty when the seat is not known.
std::string LookUpSeat(const std::filesystem::path& folder, std::string_view address);

}  // namespace zn::console

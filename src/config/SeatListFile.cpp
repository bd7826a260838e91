#include "config/SeatListFile.h"

#include "common/XmlDocument.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"

namespace zn::config {

std::vector<SeatRow> ReadSeatList(const std::filesystem::path& file) {
    CXmlDocument document;
    const int loaded = document.Load(file);
    if (loaded != CXmlDocument::kLoaded) {
        std::error_code ignored;
        if (std::filesystem::exists(file, ignored)) {
            log::Warn("seat list {} could not be read (result {}); the list starts empty",
                      file.string(), loaded);
        }
        return {};
    }
    std::vector<SeatRow> rows;
    CXmlNodeList seats = document.SelectNodes("descendant::SeatList/Seat");
    for (CXmlNode seat = seats.NextNode(); seat; seat = seats.NextNode()) {
        if (rows.size() == kMaxSeatRows) {
            log::Warn("seat list {} holds more than {} seats; the rest are left out", file.string(),
                      kMaxSeatRows);
            break;
        }
        rows.push_back({seat.GetAttribute("IP"), seat.Text()});
    }
    return rows;
}

SeatListWrite WriteSeatList(const std::filesystem::path& file, const std::vector<SeatRow>& rows,
                            std::string* failure) {
    CXmlDocument document;
    document.LoadXml("<SeatList></SeatList>");
    CXmlNode root = document.SelectSingleNode("descendant::SeatList");
    if (!root) {
        log::Error("seat list {}: the XML document could not be made", file.string());
        return SeatListWrite::XmlUnusable;
    }
    for (const SeatRow& row : rows) {
        CXmlNode seat = root.AppendElement("Seat");
        if (!seat || !seat.SetAttribute("IP", row.address) || !seat.SetText(row.seat)) {
            log::Error("seat list {}: no memory for seat {}", file.string(),
                       log::Printable(row.seat));
            return SeatListWrite::OutOfMemory;
        }
    }
    if (const auto replaced = ReplaceFileSafely(file, root.Xml()); !replaced) {
        log::Error("seat list not written: {}", replaced.failure);
        if (failure != nullptr) {
            *failure = replaced.failure;
        }
        return SeatListWrite::WriteFailed;
    }
    log::Info("seat list {} written with {} seats", file.string(), rows.size());
    return SeatListWrite::Written;
}

}  // namespace zn::config

#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace zn::config {

// One row of the seat mapping: the seat client's address as shown ("%d.%d.%d.%d", or whatever
// an existing file holds) and the seat number, free text. UTF-8.
struct SeatRow {
    std::string address;
    std::string seat;
    bool operator==(const SeatRow&) const = default;
};

// A file with more seats than any cafe has is cut here, so that a hostile one cannot flood the
// list.
inline constexpr std::size_t kMaxSeatRows = 65536;

// The rows of a seat list file in document order ("descendant::SeatList/Seat": its IP attribute,
// empty when missing, and its text). A missing, unreadable or malformed file gives no rows.
std::vector<SeatRow> ReadSeatList(const std::filesystem::path& file);

enum class SeatListWrite { Written, XmlUnusable, OutOfMemory, WriteFailed };

// The whole list anew, in the form the console reads: root "SeatList", one "Seat" per row with
// its "IP" attribute and the seat number as text, no declaration, no white space, UTF-8. The old
// file is replaced at once or, on any failure, left whole. Failures are logged; that of the
// write, when asked, is put into `failure` too: the file and why.
SeatListWrite WriteSeatList(const std::filesystem::path& file, const std::vector<SeatRow>& rows,
                            std::string* failure = nullptr);

}  // namespace zn::config

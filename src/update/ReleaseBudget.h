#pragma once

#include <cstdint>
#include <filesystem>

namespace zn {

// What one release may make a seat or the counter store, checked against each module's announced
// length before any of it is written.
struct ReleaseLimits {
    std::uint64_t moduleBytes = std::uint64_t{256} << 20;
    std::uint64_t releaseBytes = std::uint64_t{1} << 30;
    // The free space a module must leave on its volume: the lesser of the two, so a large disk
    // keeps 200 MiB and a small one (under 4 GiB) 5%.
    std::uint64_t keepFreeBytes = std::uint64_t{200} << 20;
    unsigned keepFreePercent = 5;
};

// One run's account of what its modules may still store.
class ReleaseBudget {
public:
    explicit ReleaseBudget(const ReleaseLimits& limits) : m_limits(limits) {}

    // True when a module announcing `length` bytes for `file` is within the module cap, what is
    // left of the release cap, and the free space of the file's volume; its length then counts
    // against the release. A refusal is logged with its reason.
    bool Admit(std::uint64_t length, const std::filesystem::path& file);

private:
    ReleaseLimits m_limits;
    std::uint64_t m_admitted = 0;
};

}  // namespace zn

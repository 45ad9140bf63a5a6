#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qln::ado::detail {

// The first bytes of a dBase file that the reader needs before trusting its header: the
// fixed 32-byte part and the field descriptors up to their end mark.
inline constexpr std::size_t kDbaseHeaderReadLimit = 32 + 32 * 255 + 1;

// What is wrong with a dBase header, given the file's first bytes (up to
// kDbaseHeaderReadLimit) and its length; nothing when its record count, header size,
// record size and field widths agree with each other and with the length. The file may
// end in one end-of-file mark (0x1A) after the last record.
std::optional<std::string> dbaseHeaderProblem(std::string_view head, std::uint64_t fileLength);

} // namespace qln::ado::detail

// loader.hpp: the platform's dynamic loader, environment and file metadata, as the library search needs them.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace brenlox_copt::backend::platform {

#ifdef _WIN32
/// UTF-16 as the system hands it over; it may hold unpaired surrogates.
using PathChar = wchar_t;
inline constexpr PathChar kSeparator = L'\\';
#else
/// Bytes as the system hands them over; usually UTF-8 but not necessarily.
using PathChar = char;
inline constexpr PathChar kSeparator = '/';
#endif
using NativePath = std::basic_string<PathChar>;

/// An open library module; null never names one.
using ModuleHandle = void*;
/// An entry point as the loader finds it, before it is given its real type.
using EntryAddress = void (*)();

/// `\` and `/` on Windows; `/` elsewhere, where a backslash is an ordinary file-name character.
[[nodiscard]] bool is_separator(PathChar c) noexcept;
/// Length of a leading drive such as `D:` on Windows; always 0 elsewhere.
[[nodiscard]] std::size_t drive_prefix_length(const NativePath& path) noexcept;

[[nodiscard]] NativePath path_from_utf8(std::string_view text);
/// The path as UTF-8 text for messages, invalid sequences replaced by U+FFFD.
[[nodiscard]] std::string path_display(const NativePath& path);

/// The variable's value when it is set (an empty value counts as set), nullopt when it is not.
[[nodiscard]] std::optional<NativePath> environment_variable(const char* name);
/// True when the path's metadata, links followed, reads and says regular file.
[[nodiscard]] bool is_regular_file(const NativePath& path);

/// Opens the library at `path`; a failure carries the loader's error text.
[[nodiscard]] std::expected<ModuleHandle, std::string> open_library(const NativePath& path);
/// Looks up one entry point; a failure carries the loader's error text.
[[nodiscard]] std::expected<EntryAddress, std::string> find_entry_point(ModuleHandle module, const char* name);
/// Gives back one reference to the module; the result is ignored because nothing useful can follow from it.
void close_library(ModuleHandle module) noexcept;

}  // namespace brenlox_copt::backend::platform

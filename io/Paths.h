// File names on disk: joining a folder and a name with the platform's separator, finding the
// game's files whatever the letter case they are stored in, and making names from game files safe
// to use as file names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sv {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// Paths are UTF-8 strings in the program; this turns one into a path the platform can open.
std::filesystem::path ToPath(std::string_view utf8);
std::string FromPath(const std::filesystem::path& path);

// folder + separator + name; the separator is left out when the folder already ends with one.
std::string JoinPath(std::string_view folder, std::string_view name);
// folder + separator + name, always with the separator (a doubled one is accepted by the platform).
std::string JoinPathAlways(std::string_view folder, std::string_view name);

// The game's files are often stored in upper case. Returns the path as given when a regular file
// (or a link to one) of that exact spelling exists; else the path with its last component
// replaced by the first regular file of its folder, in byte order of the names, that equals it
// without regard to ASCII case; else the path as given (so that opening it fails as usual). A
// directory of the name counts as no file. On a file system that ignores case the first test
// always decides.
std::string ResolveCase(const std::string& path);

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
// Lower-cases ASCII letters only; other bytes (UTF-8 sequences included) are kept.
std::string AsciiLower(std::string_view text);

// A name taken from a game file, made safe as a single file name: '/', '\\', ':' and control
// characters become '_', and an empty, "." or ".." name becomes "_". Other names are unchanged.
std::string SafeName(std::string_view name);

// Position of the last separator ('/' everywhere, '\\' too on Windows), or npos.
std::size_t LastSeparator(std::string_view path);

} // namespace sv

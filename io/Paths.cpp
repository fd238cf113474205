#include "Paths.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace sv {

std::filesystem::path ToPath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string FromPath(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != kSeparator) {
        path += kSeparator;
    }
    path += name;
    return path;
}

std::string JoinPathAlways(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += kSeparator;
    path += name;
    return path;
}

std::size_t LastSeparator(std::string_view path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.rfind('/');
#endif
}

static char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string ResolveCase(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(ToPath(path), ec)) {
        return path;
    }
    const std::size_t sep = LastSeparator(path);
    const std::string folder =
        sep == std::string::npos ? std::string(".") : path.substr(0, sep + 1);
    const std::string_view name =
        std::string_view(path).substr(sep == std::string::npos ? 0 : sep + 1);
    if (name.empty()) {
        return path;
    }

    std::vector<std::string> matches;
    std::filesystem::directory_iterator it(ToPath(folder), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string entry = FromPath(it->path().filename());
        std::error_code typeError;
        if (EqualsIgnoreAsciiCase(entry, name) &&
            std::filesystem::is_regular_file(it->path(), typeError)) {
            matches.push_back(std::move(entry));
        }
    }
    if (matches.empty()) {
        return path;
    }
    // std::string compares as char, which may be signed; byte order wants unsigned.
    const auto byteLess = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    };
    const std::string& first = *std::min_element(matches.begin(), matches.end(), byteLess);
    return path.substr(0, sep == std::string::npos ? 0 : sep + 1) + first;
}

std::string SafeName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return "_";
    }
    std::string out(name);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7F) {
            c = '_';
        }
    }
    return out;
}

} // namespace sv

#include "store/format/Url.h"

#include <algorithm>

#include "store/format/Format.h"

namespace {

bool IsSlash(char c) { return c == '/' || c == '\\'; }

// Removes `first` wherever it stands right before `second`, repeating until no such pair is
// left: the result of deleting the first character of the pair while the pair occurs.
void RemovePairs(std::string& text, char first, char second) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == second && !out.empty() && out.back() == first) {
            if (first == second) continue;
            while (!out.empty() && out.back() == first) out.pop_back();
        }
        out += c;
    }
    text.swap(out);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string UrlAddFile(const std::string& base, const std::string& file, char separator) {
    std::string out = base;
    if (file.empty() || !IsSlash(file[0])) out += separator;
    out += file;
    RemovePairs(out, '\\', '\\');
    RemovePairs(out, '/', '/');
    RemovePairs(out, '\\', '/');
    RemovePairs(out, '/', '\\');
    return UrlMakeFile(out, separator);
}

std::string UrlAddLocalFile(const std::string& base, const std::string& file) {
    return UrlAddFile(base, file, '/');
}

std::string UrlAddRemoteFile(const std::string& base, const std::string& file) {
    return UrlAddFile(base, file, '/');
}

std::string UrlMakeFile(const std::string& path, char separator) {
    std::string out = path;
    std::replace_if(out.begin(), out.end(), IsSlash, separator);
    return out;
}

std::string UrlMakeLocalFile(const std::string& path) { return UrlMakeFile(path, '/'); }

std::string UrlMakeRemoteFile(const std::string& path) { return UrlMakeFile(path, '/'); }

std::string UrlBeforeLastSlash(const std::string& path) {
    const size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string UrlAfterLastSlash(const std::string& path) {
    const size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(at + 1);
}

std::string UrlRemoveLeadingSlash(const std::string& path) {
    return !path.empty() && IsSlash(path[0]) ? path.substr(1) : path;
}

std::string UrlAppendDefault(const std::string& url, const char* defaultPage, char separator) {
    if (url.find('.') != std::string::npos) return url;
    return UrlAddFile(url, defaultPage ? defaultPage : "", separator);
}

std::string UrlLocalAppendDefault(const std::string& url, const char* defaultPage) {
    return UrlAppendDefault(url, defaultPage, '/');
}

std::string UrlRemoteAppendDefault(const std::string& url, const char* defaultPage) {
    return UrlAppendDefault(url, defaultPage, '/');
}

std::string UrlEncode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
            out += c;
        } else {
            out += '%';
            out += GetHexChar(b >> 4);
            out += GetHexChar(b & 15);
        }
    }
    return out;
}

std::string UrlDecode(const std::string& text) {
    std::string out(text.size() + 1, '\0');
    int length = 0;
    UrlDecode(out.data(), &length, text.data(), static_cast<int>(text.size()));
    out.resize(static_cast<size_t>(length));
    return out;
}

void UrlDecode(char* dst, int* length, const char* src, int count) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const char c = src[i];
        if (c == '+') {
            dst[n++] = ' ';
        } else if (c != '%') {
            dst[n++] = c;
        } else if (i + 2 < count) {
            const int hi = HexValue(src[i + 1]), lo = HexValue(src[i + 2]);
            if (hi >= 0 && lo >= 0) dst[n++] = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        // A '%' with fewer than two characters after it is dropped; they are copied next.
    }
    dst[n] = '\0';
    if (length) *length = n;
}

char GetHexChar(int nibble) {
    if (nibble >= 0 && nibble <= 9) return static_cast<char>('0' + nibble);
    if (nibble >= 10 && nibble <= 15) return static_cast<char>('A' + nibble - 10);
    return 'X';
}

std::string RemoveSpacesInFilename(const std::string& name) {
    std::string out = name;
    std::replace(out.begin(), out.end(), ' ', '-');
    return out;
}

int is_ip_addr(const char* text, unsigned length) {
    if (!text || length < 7 || length > 15) return 0;
    int dots = 0;
    unsigned group = 0;
    for (unsigned i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '.') {
            if (++dots > 3) return 0;
            group = 0;
        } else if (c >= '0' && c <= '9') {
            group = group * 10 + static_cast<unsigned>(c - '0');
            if (group > 255) return 0;
        } else {
            return 0;
        }
    }
    return dots == 3 ? 1 : 0;
}

void DebugOutput(const char*) {}

std::string FormatHHMMSS(long seconds) { return CFormat::FormatHHMMSS(seconds); }

std::string FormatHHMMSSAbbrev(long seconds) { return CFormat::FormatHHMMSSAbbrev(seconds); }

std::string PluralFormatHelper(int n, const std::string& text, const std::string& singular,
                               const std::string& plural) {
    return CFormat::PluralFormatHelper(n, text, singular, plural);
}

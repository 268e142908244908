#include "store/project/LogfileType.h"

#include <string_view>

namespace {

struct LogfileTypeName {
    logfiletype_t type;
    const char* shortName;
    const char* displayName;
};

// Display-list order.
constexpr LogfileTypeName kDisplayOrder[] = {
    {logfiletype_t::AUTO, "AUTO", "Auto Detect"},
    {logfiletype_t::CLF, "CLF", "NCSA Common Format"},
    {logfiletype_t::ELFEND, "ELFEND", "NCSA Combined Format (Cookies at End)"},
    {logfiletype_t::ELFBEG, "ELFBEG", "NCSA Combined Format (Cookies at Beginning)"},
    {logfiletype_t::ELF, "ELF", "NCSA Combined Format (No Cookies)"},
    {logfiletype_t::W3C, "W3C", "W3C Extended Format (IIS)"},
    {logfiletype_t::DOMINO, "DOMINO", "*Domino Log Format"},
};

// Order in which texts are matched.
constexpr logfiletype_t kMatchOrder[] = {
    logfiletype_t::AUTO,   logfiletype_t::CLF,    logfiletype_t::ELF,    logfiletype_t::W3C,
    logfiletype_t::DOMINO, logfiletype_t::ELFBEG, logfiletype_t::ELFEND,
};

// ASCII comparison without regard to case; every byte counts, an embedded zero included.
bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

const LogfileTypeName* Find(logfiletype_t type) {
    for (const LogfileTypeName& n : kDisplayOrder)
        if (n.type == type) return &n;
    return nullptr;
}

}  // namespace

logtype_t GetLogTypes() {
    logtype_t names;
    for (const LogfileTypeName& n : kDisplayOrder) names.emplace_back(n.displayName);
    return names;
}

std::string ConvertLogfileTypeToString(const logfiletype_t& type) {
    const LogfileTypeName* n = Find(type);
    return n ? n->displayName : "";
}

logfiletype_t ConvertStringToLogfileType(const std::string& displayName) {
    for (logfiletype_t type : kMatchOrder)
        if (EqualsNoCase(displayName, Find(type)->displayName)) return type;
    return logfiletype_t::AUTO;
}

std::string LogfileTypeToShortName(logfiletype_t type) {
    const LogfileTypeName* n = Find(type);
    return n ? n->shortName : "";
}

bool ShortNameToLogfileType(const std::string& text, logfiletype_t& type) {
    for (logfiletype_t candidate : kMatchOrder) {
        if (EqualsNoCase(text, Find(candidate)->shortName)) {
            type = candidate;
            return true;
        }
    }
    return false;
}

std::string ImportTypeShortName(import_t type) {
    switch (type) {
        case import_t::FTP:
            return "FTP";
        case import_t::LOCAL:
            return "LOCAL";
        case import_t::WEB:
            return "WEB";
    }
    return "";
}

std::string PathTypeShortName(file_t type) {
    switch (type) {
        case file_t::DIR:
            return "DIR";
        case file_t::FILE:
            return "FILE";
        case file_t::WILDCARD:
            return "WILDCARD";
    }
    return "";
}

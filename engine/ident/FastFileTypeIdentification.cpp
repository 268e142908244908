#include "engine/ident/FastFileTypeIdentification.h"

#include <cstring>

#include "engine/run/CaseTables.h"
#include "store/ident/FileTypeIdentification.h"

CFastFileTypeIdentification::CFastFileTypeIdentification(const CFileTypeIdentification& types) {
    for (int i = 0; i < types.GetNumEntries(); ++i) {
        std::string extension = types.GetExtension(i);
        for (char& c : extension)
            c = static_cast<char>(logvane::casefold::kLower[static_cast<unsigned char>(c)]);
        const std::string type = types.GetPageType(i);
        if (type == "PAGE")
            m_pages.push_back(std::move(extension));
        else if (type == "IMAGE")
            m_images.push_back(std::move(extension));
        else if (type == "MISCWEB")
            m_miscWeb.push_back(std::move(extension));
    }
}

bool CFastFileTypeIdentification::Contains(const std::vector<std::string>& list,
                                           std::string_view extension) {
    for (const std::string& entry : list)
        if (entry.size() == extension.size() &&
            std::memcmp(entry.data(), extension.data(), entry.size()) == 0)
            return true;
    return false;
}

page_type_t CFastFileTypeIdentification::DeterminePageType(const char* path,
                                                           std::size_t length) const {
    if ((m_pages.empty() && m_images.empty()) || (length > 0 && path[length - 1] == '/'))
        return page_type_t::PAGE;
    const std::string_view text(path, length);
    const std::size_t query = text.find('?');
    const std::string_view stem = query == std::string_view::npos ? text : text.substr(0, query);
    const std::size_t dot = stem.rfind('.');
    if (dot == std::string_view::npos) return page_type_t::FILE;
    const std::string_view extension = stem.substr(dot + 1);
    if (Contains(m_pages, extension)) return page_type_t::PAGE;
    if (Contains(m_miscWeb, extension)) return page_type_t::MISCWEB;
    if (Contains(m_images, extension)) return page_type_t::IMAGE;
    return page_type_t::FILE;
}

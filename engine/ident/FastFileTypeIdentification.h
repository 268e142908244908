#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"
#include "store/hyperlink/PageType.h"

class CFileTypeIdentification;

// Classifies a requested path by its extension: page, image, misc. web content or file.
// Extensions are compared case-sensitively against lower-case lists; hit processing lower-cases
// paths unless the analysis is case sensitive.
class LOGVANE_ENGINE_API CFastFileTypeIdentification {
public:
    // Empty lists: every path is a PAGE.
    CFastFileTypeIdentification() = default;
    // Takes the PAGE, IMAGE and MISCWEB entries of `types` in file order, lower-cased; entries
    // of any other type are ignored.
    explicit CFastFileTypeIdentification(const CFileTypeIdentification& types);

    // PAGE when the page and image lists are both empty or the path ends in "/"; otherwise by
    // the extension (after the last "." before the first "?", or of the whole path): PAGE,
    // MISCWEB or IMAGE by list, FILE when no list holds it or there is no extension.
    page_type_t DeterminePageType(const char* path, std::size_t length) const;
    page_type_t DeterminePageType(std::string_view path) const {
        return DeterminePageType(path.data(), path.size());
    }

private:
    static bool Contains(const std::vector<std::string>& list, std::string_view extension);

    std::vector<std::string> m_pages, m_images, m_miscWeb;
};

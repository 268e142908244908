#include "engine/parse/CookieField.h"

#include <cstring>

#include "engine/parse/FieldCursor.h"

void ExtractSessionCookie(std::string_view field, char skipA, char skipB,
                          const parse_context_t& context, hit_t& hit) {
    const std::size_t nameLen = static_cast<std::size_t>(context.cookieNameLen);
    if (nameLen == 0) return;
    std::size_t pos = 0;
    while (pos <= field.size()) {
        std::size_t end = field.find(';', pos);
        if (end == std::string_view::npos) end = field.size();
        std::string_view segment = field.substr(pos, end - pos);
        if (segment.size() > nameLen && segment[nameLen] == '=' &&
            std::memcmp(segment.data(), context.cookieName, nameLen) == 0)
            StoreText(hit.cookie, hit.cookieLen, segment.substr(nameLen + 1));
        if (end == field.size()) break;
        pos = end + 1;
        if (pos < field.size() && (field[pos] == skipA || field[pos] == skipB)) ++pos;
    }
}

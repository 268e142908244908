#include "engine/hit/UrlNormalizer.h"

#include <algorithm>
#include <cstring>
#include <vector>

CUrlNormalizer::CUrlNormalizer(bool hideQuestionMark, bool hidePound, std::string defaultPage)
    : m_hideQuestionMark(hideQuestionMark),
      m_hidePound(hidePound),
      m_defaultPage(std::move(defaultPage)) {}

std::size_t CUrlNormalizer::Normalize(std::string_view text, bool addDefault, char* out) const {
    text = text.substr(0, std::min<std::size_t>(text.size(), 2 * 250));
    std::size_t cut = text.size();
    if (m_hideQuestionMark) cut = std::min(cut, text.find('?'));
    if (m_hidePound) cut = std::min(cut, text.find('#'));
    text = text.substr(0, cut);

    std::size_t length = 0;
    const auto append = [&](std::string_view part) {
        std::memcpy(out + length, part.data(), part.size());
        length += part.size();
    };
    if (addDefault && !m_hideQuestionMark && !m_hidePound) {
        // The folder is what precedes the query: a "/" inside the query is not one.
        const std::size_t tail = text.find_first_of("?#");
        if (tail != std::string_view::npos && tail > 0 && text[tail - 1] == '/') {
            append(text.substr(0, tail));
            append(m_defaultPage);
            append(text.substr(tail));
            out[length] = '\0';
            return length;
        }
    }
    append(text);
    if (addDefault && !text.empty() && text.back() == '/') append(m_defaultPage);
    out[length] = '\0';
    return length;
}

std::string CUrlNormalizer::Normalized(std::string_view text, bool addDefault) const {
    std::vector<char> buffer(GetMaxLength() + 1);
    return std::string(buffer.data(), Normalize(text, addDefault, buffer.data()));
}

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/EngineApi.h"

// Normalises requested URLs, referrers and tracked-file patterns for counting: cuts the text
// at the first "?" and/or "#" when the settings hide them, and completes folder URLs with the
// site's default page.
class LOGVANE_ENGINE_API CUrlNormalizer {
public:
    // Longest text Normalize writes: a hit field plus the default page.
    std::size_t GetMaxLength() const { return 2 * 250 + m_defaultPage.size(); }

    CUrlNormalizer(bool hideQuestionMark, bool hidePound, std::string defaultPage);

    // Writes the normalised `text` to `out` (which holds GetMaxLength() + 1 bytes), NUL-
    // terminated, and returns its length. With `addDefault` a text ending in "/" gets the
    // default page appended, and, when neither "?" nor "#" is hidden, a "/" directly before
    // the query or fragment gets it inserted after it ("/dir/?a=1" -> "/dir/index.html?a=1").
    std::size_t Normalize(std::string_view text, bool addDefault, char* out) const;

    // Normalize into a string, for patterns prepared once per run.
    std::string Normalized(std::string_view text, bool addDefault) const;

private:
    bool m_hideQuestionMark;
    bool m_hidePound;
    std::string m_defaultPage;
};

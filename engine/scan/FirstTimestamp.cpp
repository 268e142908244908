#include "engine/scan/FirstTimestamp.h"

#include <string_view>

#include "engine/parse/DateConversion.h"
#include "engine/parse/FieldCursor.h"
#include "engine/scan/MappedFile.h"
#include "engine/scan/PatternSearch.h"

namespace {

constexpr std::size_t kHeadBytes = 1024;

// Text from pos up to the next space, control byte or line feed.
std::string_view WordAt(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ' && text[end] != 0x7F)
        ++end;
    return text.substr(pos, end - pos);
}

}  // namespace

std::int64_t FirstTimestampOf(const char* head, std::size_t length) {
    std::string_view text(head, length < kHeadBytes ? length : kHeadBytes);
    hit_t stamp;
    hit_t* hit = &stamp;
    hit->time = 0;

    static const CPatternSearch dateDirective("#Date: ", true);
    std::int64_t found = dateDirective.Find(text);
    if (found >= 0) {
        std::size_t pos = static_cast<std::size_t>(found) + 7;
        std::string_view date = WordAt(text, pos);
        std::size_t timePos = pos + date.size();
        if (timePos < text.size() && text[timePos] == ' ') ++timePos;
        std::string_view time = WordAt(text, timePos);
        if (date.empty()) return 0;
        ConvertW3CDate(date, time, 0, *hit);
    } else {
        std::size_t open = text.find('[');
        if (open == std::string_view::npos) return 0;
        std::size_t end = open + 1;
        while (end < text.size() && text[end] != ']' &&
               static_cast<unsigned char>(text[end]) >= ' ')
            ++end;
        if (end == open + 1) return 0;
        ConvertCommonDate(text.substr(open + 1, end - open - 1), 0, *hit);
    }
    return hit->time > 0 ? hit->time : 0;
}

std::int64_t GetFirstTimestamp(const std::string& path) {
    CMappedFile file;
    if (!file.Open(path)) return 0;
    char head[kHeadBytes];
    std::size_t got = file.ReadAt(0, head, sizeof(head));
    return FirstTimestampOf(head, got);
}

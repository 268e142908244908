#include "store/hyperlink/PageType.h"

namespace {

constexpr const char* kPageTypeNames[] = {"REFERRER", "FILE",    "PAGE",  "IMAGE",
                                          "MISCWEB",  "NOTHING", "ENTRY", "EXIT"};
constexpr int kPageTypeCount = 8;

}  // namespace

std::string ConvertPageTypeToString(page_type_t type) {
    const int i = static_cast<int>(type);
    return i >= 0 && i < kPageTypeCount ? kPageTypeNames[i] : "NOTHING";
}

page_type_t ConvertStringToPageType(const std::string& text) {
    for (int i = 0; i < kPageTypeCount; ++i)
        if (text == kPageTypeNames[i]) return static_cast<page_type_t>(i);
    return page_type_t::NOTHING;
}

#pragma once

#include <string>

#include "store/StoreApi.h"

// What a requested path is, as the hyperlink tree and the hit classification see it. ENTRY
// and EXIT are the pseudo-pages before the first and after the last page of a visit.
enum class page_type_t : int {
    REFERRER = 0,
    FILE = 1,
    PAGE = 2,
    IMAGE = 3,
    MISCWEB = 4,
    NOTHING = 5,
    ENTRY = 6,
    EXIT = 7,
};

// "REFERRER" ... "EXIT"; a value outside the list gives "NOTHING".
LOGVANE_STORE_API std::string ConvertPageTypeToString(page_type_t type);
// The text form's value (exact comparison); NOTHING for unknown text.
LOGVANE_STORE_API page_type_t ConvertStringToPageType(const std::string& text);

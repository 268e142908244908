#pragma once

#include "engine/parse/FieldCursor.h"
#include "engine/parse/HitRecord.h"
#include "engine/parse/ParseContext.h"

// Field readers shared by the NCSA-shaped formats (common, combined, Domino, sparse). Each
// reads one field at the cursor, skipping the blanks before it, stores it in the hit and
// returns false to reject the line.

bool ReadHostField(CFieldCursor& cursor, hit_t& hit);
bool SkipField(CFieldCursor& cursor);
bool ReadServerField(CFieldCursor& cursor, hit_t& hit);
// The user: the text up to "[", trimmed, without surrounding double quotes; "-" when empty.
bool ReadUserBeforeBracket(CFieldCursor& cursor, hit_t& hit);
// "[" date "]" through the common-format conversion; a time stamp of 0 or less still reads.
bool ReadBracketDate(CFieldCursor& cursor, const parse_context_t& context, hit_t& hit);
// The double-quoted request: method letter and path.
bool ReadRequest(CFieldCursor& cursor, hit_t& hit);
bool ReadStatus(CFieldCursor& cursor, hit_t& hit);
bool ReadBytes(CFieldCursor& cursor, hit_t& hit);
// Double-quoted referrer and user agent. A line that ends before the referrer keeps both empty
// and is accepted, as servers mix lines without them into combined logs.
bool ReadReferrerAndAgent(CFieldCursor& cursor, hit_t& hit);
// A cookie field: one double-quoted field, or unquoted tokens continuing while a token ends in
// ";". Absent at the line end. The session cookie is extracted from it.
bool ReadCookieField(CFieldCursor& cursor, const parse_context_t& context, hit_t& hit);

// Method code of the request's first letter.
inline std::int32_t MethodFromLetter(char c) {
    switch (c) {
        case 'G':
            return HIT_METHOD_GET;
        case 'H':
            return HIT_METHOD_HEAD;
        case 'P':
            return HIT_METHOD_POST;
        default:
            return HIT_METHOD_OTHER;
    }
}

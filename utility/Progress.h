#pragma once

#include <string>

#include "utility/UtilityApi.h"

// Stage of the analysis that a progress text belongs to.
enum progress_t {
    PROGRESS_NONE = 0,
    PROGRESS_RETRIEVING = 1,  // retrieving remote logs
    PROGRESS_DECOMPRESSING = 2,
    PROGRESS_RESOLVING = 3,  // resolving host names
    PROGRESS_PARSING = 4,
    PROGRESS_PREPARING = 6,  // preparing the report tree
    PROGRESS_PREPARING_TREE = 7,
    PROGRESS_IP2COUNTRY = 9,  // updating the IP-to-country database
};

// The process-wide progress record: current text, stage, percentage, error list and the two
// flags. Every member may be called from any thread; each call is atomic with respect to the
// others. Calls before Initialize (or after Kill) act on an empty record and never crash.
class LOGVANE_UTILITY_API CProgress {
public:
    // Empties the record: no text, stage 0, 0 %, no errors, both flags cleared.
    static void Initialize();
    static void Kill();

    static void SetText(progress_t stage, const std::string& text);
    static void SetPercentageDone(int percentage);
    // Appends an error: the message shown to the user and its help topic path
    // (such as "Trouble/ErrorCannotOpenLogFile.htm").
    static void AddError(const std::string& message, const std::string& helpTopic);
    static void ClearErrors();

    // The progress document: PROGRESS with TEXT, PERCENTAGE, STAGE and ERRORS/ERROR[@HelpFile].
    static std::string GetXML();

    static void SetCancel(bool cancel = true);
    static bool ShouldCancel();

    // The parse-end flag, separate from cancel: parsing must stop early.
    static void SetParseEnd(bool end = true);
    static bool ShouldParseEnd();

    // Short title of a stage, as shown in STAGE; empty for an unknown stage.
    static const char* GetStageTitle(int stage);
};

// C-callable forms used by the parsing stage.
extern "C" {
LOGVANE_UTILITY_API void ProgressSetText(int stage, const char* text);
LOGVANE_UTILITY_API void ProgressSetPercentageDone(int percentage);
LOGVANE_UTILITY_API void ProgressAddError(const char* message, const char* helpTopic);
LOGVANE_UTILITY_API void ParseSetCancel(int end);
LOGVANE_UTILITY_API int ParseShouldEnd(void);
}

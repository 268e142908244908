#include "utility/Progress.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "utility/Markup.h"

namespace {

struct ProgressError {
    std::string message;
    std::string helpTopic;
};

// The one record of the process. Texts and errors sit under the mutex; the two flags are
// atomics so that the hot parse loop can test them without taking the lock.
struct ProgressRecord {
    std::mutex mutex;
    std::string text;
    int stage = PROGRESS_NONE;
    int percentage = 0;
    std::vector<ProgressError> errors;
    std::atomic<bool> cancel{false};
    std::atomic<bool> parseEnd{false};
};

ProgressRecord& Record() {
    static ProgressRecord record;
    return record;
}

}  // namespace

void CProgress::Initialize() {
    ProgressRecord& r = Record();
    std::lock_guard lock(r.mutex);
    r.text.clear();
    r.stage = PROGRESS_NONE;
    r.percentage = 0;
    r.errors.clear();
    r.cancel = false;
    r.parseEnd = false;
}

void CProgress::Kill() { Initialize(); }

void CProgress::SetText(progress_t stage, const std::string& text) {
    ProgressRecord& r = Record();
    std::lock_guard lock(r.mutex);
    r.stage = stage;
    r.text = text;
}

void CProgress::SetPercentageDone(int percentage) {
    ProgressRecord& r = Record();
    std::lock_guard lock(r.mutex);
    r.percentage = percentage;
}

void CProgress::AddError(const std::string& message, const std::string& helpTopic) {
    ProgressRecord& r = Record();
    std::lock_guard lock(r.mutex);
    r.errors.push_back({message, helpTopic});
}

void CProgress::ClearErrors() {
    ProgressRecord& r = Record();
    std::lock_guard lock(r.mutex);
    r.errors.clear();
}

std::string CProgress::GetXML() {
    ProgressRecord& r = Record();
    std::string text;
    int stage, percentage;
    std::vector<ProgressError> errors;
    {
        std::lock_guard lock(r.mutex);
        text = r.text;
        stage = r.stage;
        percentage = r.percentage;
        errors = r.errors;
    }
    CMarkup xml;
    xml.AddElem("PROGRESS");
    xml.AddChildElem("TEXT", text.c_str());
    xml.AddChildElem("PERCENTAGE", percentage);
    xml.AddChildElem("STAGE", GetStageTitle(stage));
    xml.AddChildElem("ERRORS");
    xml.IntoElem();
    for (const ProgressError& e : errors) {
        xml.AddChildElem("ERROR", e.message.c_str());
        xml.SetChildAttrib("HelpFile", e.helpTopic.c_str());
    }
    return xml.GetDoc();
}

void CProgress::SetCancel(bool cancel) { Record().cancel = cancel; }

bool CProgress::ShouldCancel() { return Record().cancel; }

void CProgress::SetParseEnd(bool end) { Record().parseEnd = end; }

bool CProgress::ShouldParseEnd() { return Record().parseEnd; }

const char* CProgress::GetStageTitle(int stage) {
    switch (stage) {
        case PROGRESS_RETRIEVING:
            return "Retrieving remote logs";
        case PROGRESS_DECOMPRESSING:
            return "Decompressing logs";
        case PROGRESS_RESOLVING:
            return "Resolving host names";
        case PROGRESS_PARSING:
            return "Reading logs";
        case PROGRESS_PREPARING:
            return "Building reports";
        case PROGRESS_PREPARING_TREE:
            return "Saving reports";
        case PROGRESS_IP2COUNTRY:
            return "Updating the country database";
        default:
            return "";
    }
}

extern "C" {

void ProgressSetText(int stage, const char* text) {
    CProgress::SetText(static_cast<progress_t>(stage), text ? text : "");
}

void ProgressSetPercentageDone(int percentage) { CProgress::SetPercentageDone(percentage); }

void ProgressAddError(const char* message, const char* helpTopic) {
    CProgress::AddError(message ? message : "", helpTopic ? helpTopic : "");
}

void ParseSetCancel(int end) { CProgress::SetParseEnd(end != 0); }

int ParseShouldEnd(void) { return CProgress::ShouldParseEnd() ? 1 : 0; }
}

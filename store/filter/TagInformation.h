#pragma once

#include <string>
#include <vector>

#include "store/StoreApi.h"

class CMarkup;

// The tag triggers of a project: labelled page patterns whose reach the hyperlink tree shows.
class LOGVANE_STORE_API CTagInformation {
public:
    // Which pages count for a trigger.
    enum tag_trigger_t : int { REFERRER = 0, SITEENTRY = 1, ANYPAGE = 2 };

    class LOGVANE_STORE_API CTriggerInformation {
    public:
        CTriggerInformation() = default;
        CTriggerInformation(tag_trigger_t type, const std::string& matchText,
                            const std::string& name)
            : m_type(type), m_matchText(matchText), m_name(name) {}
        bool operator==(const CTriggerInformation&) const = default;

        tag_trigger_t GetTriggerType() const { return m_type; }
        void SetTriggerType(tag_trigger_t type) { m_type = type; }
        const std::string& GetMatchText() const { return m_matchText; }
        void SetMatchText(const std::string& text) { m_matchText = text; }
        // The short label shown on the hyperlink tree.
        const std::string& GetName() const { return m_name; }
        void SetName(const std::string& name) { m_name = name; }

    private:
        tag_trigger_t m_type = ANYPAGE;
        std::string m_matchText;
        std::string m_name;
    };

    bool operator==(const CTagInformation&) const = default;

    int GetNumTriggers() const { return static_cast<int>(m_triggers.size()); }
    // Copy of trigger i; a default trigger when i is out of range.
    CTriggerInformation GetTriggerInfo(unsigned long i) const;
    // Inserted at `at` when `at` is not -1 and below the count, otherwise appended; returns
    // the index used.
    int AddTriggerInformation(const CTriggerInformation& t, int at = -1);
    void RemoveTriggerInformation(int i);
    void Clear() { m_triggers.clear(); }

    // Main position on `TAGS` (nothing happens on any other element): appends its triggers;
    // the list is not emptied first.
    int LoadXML(CMarkup& markup);
    // Main position on the project element: adds `TAGS` after its child position and steps
    // back out, leaving the child position on the new element.
    int SaveXML(CMarkup& markup) const;

    // Empty text outside the list.
    static std::string ConvertTriggerTypeToString(tag_trigger_t type);
    // "REFERRER" 0, "SITEENTRY" 1, anything else ANYPAGE.
    static tag_trigger_t ConvertStringToTriggerType(const std::string& text);

private:
    std::vector<CTriggerInformation> m_triggers;
};

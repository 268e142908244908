#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/scan/PatternSearch.h"

// A browser, spider or operating-system list: ordered categories, each recognised by keywords
// found anywhere in a user agent regardless of case. The last category of a loaded list is the
// catch-all: its keywords are never tested and it counts what no other category matched.
class LOGVANE_ENGINE_API CGenericIdentification {
public:
    // `tag` names the entry elements ("BROWSER", upper-cased here), `rootTag` the list
    // ("Browsers"); the catch-all is named "Other " + rootTag.
    CGenericIdentification(const char* tag, const char* rootTag);
    virtual ~CGenericIdentification() = default;
    CGenericIdentification(const CGenericIdentification&) = delete;
    CGenericIdentification& operator=(const CGenericIdentification&) = delete;

    // Replaces the categories by the file's entries and the catch-all. A missing or malformed
    // file leaves the list empty and returns false.
    bool LoadXML(const char* path);
    void Clear() { m_categories.clear(); }
    // Appends a category (before LoadXML's catch-all has been added, or for tests).
    void AddCategory(const std::string& name, const std::vector<std::string>& keywords);

    // Index of the first category (but the last) one of whose keywords occurs in `text`, and
    // counts it; -1 otherwise, after counting the catch-all. An empty list counts nothing.
    virtual int MatchString(const char* text, std::size_t length);
    int MatchString(std::string_view text) { return MatchString(text.data(), text.size()); }

    // MatchString in two halves, so that a caller may remember the result for a text it sees
    // again: the index MatchString would return, counting nothing, and the count it would add.
    int FindCategory(const char* text, std::size_t length) const;
    virtual void CountMatch(int index);

    int GetNum() const { return static_cast<int>(m_categories.size()); }
    // Empty text or 0 when index is out of range.
    std::string GetName(int index) const;
    std::uint64_t GetNumMatches(int index) const;
    int GetNumKeywords(int index) const;
    // The category's first keyword as stored (upper-cased); empty when it has none.
    std::string GetFirstKeyword(int index) const;

    const std::string& GetTag() const { return m_tag; }
    const std::string& GetRootTag() const { return m_rootTag; }

protected:
    void Count(int index) { ++m_categories[static_cast<std::size_t>(index)].matches; }

private:
    struct Category {
        std::string name;
        std::uint64_t matches = 0;
        std::vector<std::string> keywords;  // upper-cased
        std::vector<std::unique_ptr<CPatternSearch>> patterns;
    };
    bool Valid(int index) const { return index >= 0 && index < GetNum(); }

    std::string m_tag;
    std::string m_rootTag;
    std::vector<Category> m_categories;
};

class LOGVANE_ENGINE_API CBrowserIdentification : public CGenericIdentification {
public:
    CBrowserIdentification() : CGenericIdentification("BROWSER", "Browsers") {}
};

class LOGVANE_ENGINE_API COSIdentification : public CGenericIdentification {
public:
    COSIdentification() : CGenericIdentification("OS", "OSes") {}
};

// Spiders are counted only when recognised: a user agent that matches no spider is left to the
// browser and operating-system lists, so the catch-all counts nothing.
class LOGVANE_ENGINE_API CSpiderIdentification : public CGenericIdentification {
public:
    CSpiderIdentification() : CGenericIdentification("SPIDER", "Spiders") {}
    int MatchString(const char* text, std::size_t length) override;
    using CGenericIdentification::MatchString;
    void CountMatch(int index) override;
};

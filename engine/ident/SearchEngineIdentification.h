#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/scan/PatternSearch.h"

// What a referrer from a search engine says: the engine's name and the decoded phrase. Both
// views stay valid until the next Match or Load.
struct search_match_t {
    std::string_view engine;
    std::string_view phrase;
};

// The search engines of the search-engine file, in file order: each a name, a domain and the
// query keys that precede a search phrase ("q=", "&query="). Domains and keys match
// case-sensitively.
class LOGVANE_ENGINE_API CSearchEngineIdentification {
public:
    // Replaces the table by the file's engines. A missing file or another root than
    // "SEARCHENGINES" leaves it empty and returns false.
    bool LoadXML(const char* path);
    void AddEngine(const std::string& name, const std::string& domain,
                   const std::vector<std::string>& queryKeys);
    void Clear() { m_engines.clear(); }
    int GetNum() const { return static_cast<int>(m_engines.size()); }

    // For a referrer with a "?": the first engine whose domain occurs before the "?" and one of
    // whose keys occurs after it (keys tried in order); the phrase is the text after the key up
    // to the next "&", URL-decoded. False when there is no "?", no engine or no key.
    bool Match(const char* referrer, std::size_t length, search_match_t& result);

private:
    struct Engine {
        std::string name;
        std::unique_ptr<CPatternSearch> domain;
        std::vector<std::unique_ptr<CPatternSearch>> keys;
        std::vector<std::size_t> keyLengths;
    };

    std::vector<Engine> m_engines;
    // The decoded phrase; a referrer field is never longer than this.
    char m_phrase[256] = {};
};

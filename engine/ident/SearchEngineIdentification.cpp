#include "engine/ident/SearchEngineIdentification.h"

#include <algorithm>
#include <string_view>

#include "store/format/Url.h"
#include "utility/Markup.h"

bool CSearchEngineIdentification::LoadXML(const char* path) {
    Clear();
    CMarkup markup;
    if (!path || !markup.Load(path) || !markup.FindElem("SEARCHENGINES")) return false;
    markup.IntoElem();
    while (markup.FindElem("ENGINE")) {
        const std::string name = markup.GetAttrib("Name");
        const std::string domain = markup.GetAttrib("Domain");
        std::vector<std::string> keys;
        while (markup.FindChildElem("QUERYSTRING")) keys.push_back(markup.GetChildData());
        AddEngine(name, domain, keys);
    }
    return true;
}

void CSearchEngineIdentification::AddEngine(const std::string& name, const std::string& domain,
                                            const std::vector<std::string>& queryKeys) {
    Engine engine;
    engine.name = name;
    engine.domain = std::make_unique<CPatternSearch>(domain, false);
    for (const std::string& key : queryKeys) {
        engine.keys.push_back(std::make_unique<CPatternSearch>(key, false));
        engine.keyLengths.push_back(key.size());
    }
    m_engines.push_back(std::move(engine));
}

bool CSearchEngineIdentification::Match(const char* referrer, std::size_t length,
                                        search_match_t& result) {
    const std::string_view text(referrer, length);
    const std::size_t question = text.find('?');
    if (question == std::string_view::npos) return false;
    const std::string_view query = text.substr(question + 1);
    for (const Engine& engine : m_engines) {
        // Only the address part names the engine: a domain inside another site's query
        // ("?u=google.com") is not a search.
        if (engine.domain->Find(referrer, question) < 0) continue;
        for (std::size_t k = 0; k < engine.keys.size(); ++k) {
            const std::int64_t at = engine.keys[k]->Find(query);
            if (at < 0) continue;
            std::string_view phrase =
                query.substr(static_cast<std::size_t>(at) + engine.keyLengths[k]);
            phrase = phrase.substr(0, std::min(phrase.find('&'), phrase.size()));
            phrase = phrase.substr(0, std::min(phrase.size(), sizeof m_phrase - 1));
            int decoded = 0;
            UrlDecode(m_phrase, &decoded, phrase.data(), static_cast<int>(phrase.size()));
            result.engine = engine.name;
            result.phrase = std::string_view(m_phrase, static_cast<std::size_t>(decoded));
            return true;
        }
    }
    return false;
}

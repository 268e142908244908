#include "engine/ident/DomainSuffixTable.h"

#include "engine/run/CaseTables.h"
#include "utility/Markup.h"

bool CDomainSuffixTable::LoadXML(const char* path) {
    Clear();
    CMarkup markup;
    if (!path || !markup.Load(path) || !markup.FindElem("SUFFIXDATA")) return false;
    markup.IntoElem();
    while (markup.FindElem("COUNTRY")) {
        std::string suffix = markup.GetAttrib("suffix");
        for (char& c : suffix)
            c = static_cast<char>(logvane::casefold::kLower[static_cast<unsigned char>(c)]);
        Add(suffix, markup.GetData());
    }
    return true;
}

void CDomainSuffixTable::Clear() {
    m_table = std::make_unique<Table>(500);
    m_texts.clear();
}

bool CDomainSuffixTable::Add(std::string_view suffix, std::string_view country) {
    suffix_info_t key;
    key.key.text = suffix.data();
    key.key.length = static_cast<std::uint32_t>(suffix.size());
    bool isNew = false;
    suffix_info_t* entry = m_table->Lookup(key, isNew);
    if (!isNew) return false;
    const std::string& storedSuffix = m_texts.emplace_back(suffix);
    const std::string& storedCountry = m_texts.emplace_back(country);
    entry->key.text = storedSuffix.c_str();
    entry->key.length = key.key.length;
    entry->country = storedCountry.c_str();
    entry->countryLength = static_cast<std::uint32_t>(storedCountry.size());
    return true;
}

std::string_view CDomainSuffixTable::Lookup(std::string_view suffix) const {
    suffix_info_t key;
    key.key.text = suffix.data();
    key.key.length = static_cast<std::uint32_t>(suffix.size());
    bool isNew = false;
    const suffix_info_t* entry = m_table->Lookup(key, isNew, false);
    return entry ? std::string_view(entry->country, entry->countryLength) : std::string_view();
}

#include "engine/remote/DownloadClaims.h"

#include "engine/remote/LocalFiles.h"
#include "engine/source/Preprocess.h"

namespace {

// "ftp://host:21/logs/access.log" -> "ftp_host_21_logs": the source without its last
// segment, with every byte outside [A-Za-z0-9.-] made '_' and runs of them joined.
std::string SourceFolderTag(const std::string& source) {
    const std::string_view head = std::string_view(source).substr(0, source.rfind('/'));
    std::string tag;
    for (const char c : head) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (plain) {
            tag += c;
        } else if (!tag.empty() && tag.back() != '_') {
            tag += '_';
        }
    }
    while (!tag.empty() && (tag.back() == '_' || tag.back() == '.')) tag.pop_back();
    return tag.empty() ? "_" : tag;
}

}  // namespace

bool CDownloadClaims::TryClaim(const std::string& local, const std::string& source) {
    // A compressed file's decompressed copy is written beside it and replaces what is there,
    // so it holds that path too.
    std::string copy;
    if (IsCompressedPath(local)) copy = DecompressedPath(local);
    for (const std::string* path : {&local, static_cast<const std::string*>(&copy)}) {
        if (path->empty()) continue;
        const auto it = m_sources.find(*path);
        if (it != m_sources.end() && it->second != source) return false;
    }
    m_sources[local] = source;
    if (!copy.empty()) m_sources[copy] = source;
    m_locals.emplace(source, local);
    return true;
}

std::string CDownloadClaims::Claim(const std::string& folder, std::string_view relative,
                                   const std::string& source) {
    if (const auto known = m_locals.find(source); known != m_locals.end()) return known->second;
    const std::string preferred = JoinInsideFolder(folder, relative);
    if (TryClaim(preferred, source)) return preferred;
    const std::string tag = SourceFolderTag(source);
    for (int n = 1;; ++n) {
        const std::string sub = n == 1 ? tag : tag + "-" + std::to_string(n);
        std::string local = JoinInsideFolder(folder, sub + "/" + std::string(relative));
        if (TryClaim(local, source)) return local;
    }
}

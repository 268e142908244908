#include "store/filter/XmlValue.h"

#include <sys/stat.h>

#include <new>

namespace logvane::xml {

bool LoadDocument(CMarkup& doc, const char* path) {
    if (!path || !*path) return false;
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (info.st_size > kMaxDocumentBytes) return false;
    try {
        return doc.Load(path);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace logvane::xml

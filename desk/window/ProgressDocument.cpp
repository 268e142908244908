#include "desk/window/ProgressDocument.h"

#include <algorithm>
#include <cstdlib>

#include "utility/Markup.h"

namespace {

std::string CutAtLineEnd(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

progress_document_t ParseProgressDocument(const std::string& document) {
    progress_document_t result;
    CMarkup xml;
    if (document.empty() || !xml.SetDoc(document) || !xml.FindElem("PROGRESS")) return result;
    if (xml.FindChildElem("TEXT")) result.text = xml.GetChildData();
    xml.ResetChildPos();
    if (xml.FindChildElem("PERCENTAGE")) {
        const long value = std::strtol(xml.GetChildData().c_str(), nullptr, 10);
        result.percentage = int(std::clamp(value, 0L, 100L));
    }
    xml.ResetChildPos();
    if (xml.FindChildElem("STAGE")) result.stage = xml.GetChildData();
    xml.ResetChildPos();
    if (xml.FindChildElem("ERRORS")) {
        result.errors.emplace();
        xml.IntoElem();
        while (xml.FindChildElem("ERROR"))
            result.errors->push_back(
                {CutAtLineEnd(xml.GetChildData()), xml.GetChildAttrib("HelpFile")});
        xml.OutOfElem();
    }
    return result;
}

std::optional<std::pair<QString, QString>> SplitStatusText(
    const QString& text, int columnWidth, const std::function<int(const QString&)>& widthOf) {
    if (widthOf(text) < columnWidth) return std::nullopt;
    qsizetype cut = text.size();
    while (cut > 0 && widthOf(text.left(cut)) >= columnWidth - 5) {
        const qsizetype blank = text.lastIndexOf(' ', cut - 1);
        if (blank <= 0) break;
        cut = blank;
    }
    if (cut >= text.size() || cut <= 0) return std::nullopt;
    return std::pair{text.left(cut), text.mid(cut + 1)};
}

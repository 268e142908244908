#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One error of a progress document: its message and the help topic that explains it.
struct progress_error_t {
    std::string message;  // cut before the first CR or LF
    std::string helpTopic;
};

// What the progress dialog reads from one progress document. Elements that are missing stay
// unset, so that they change nothing on screen.
struct progress_document_t {
    std::optional<std::string> text;
    int percentage = 0;  // 0 when missing; clamped to 0-100
    std::optional<std::string> stage;
    std::optional<std::vector<progress_error_t>> errors;
};

// Reads a progress document (root PROGRESS). Broken XML gives an empty result.
progress_document_t ParseProgressDocument(const std::string& document);

// Splits a status text that does not fit a column of `columnWidth` pixels: cut back to the last
// blank before the cut while the part before it is at least columnWidth - 5 wide. Returns the
// shown part and the rest after the blank; nothing when the text fits or has no blank to cut
// at.
std::optional<std::pair<QString, QString>> SplitStatusText(
    const QString& text, int columnWidth, const std::function<int(const QString&)>& widthOf);

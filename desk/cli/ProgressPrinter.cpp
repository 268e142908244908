#include "desk/cli/ProgressPrinter.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/api/LogvaneEngine.h"
#include "utility/Markup.h"
#include "utility/Progress.h"

namespace {

int LeadingNumber(const std::string& text) {
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<long long>(value * 10 + (c - '0'), 1000);
    }
    return static_cast<int>(value);
}

}  // namespace

progress_view_t ReadProgressView(const std::string& document) {
    progress_view_t view;
    CMarkup xml;
    if (!xml.SetDoc(document) || !xml.FindElem("PROGRESS")) return view;
    if (xml.FindChildElem("TEXT")) view.text = xml.GetChildData();
    xml.ResetChildPos();
    if (xml.FindChildElem("PERCENTAGE")) view.percentage = LeadingNumber(xml.GetChildData());
    xml.ResetChildPos();
    if (xml.FindChildElem("STAGE")) view.stage = xml.GetChildData();
    view.percentage = std::clamp(view.percentage, 0, 100);
    return view;
}

std::vector<std::string> ReadProgressErrors(const std::string& document) {
    std::vector<std::string> errors;
    CMarkup xml;
    if (!xml.SetDoc(document) || !xml.FindElem("PROGRESS") || !xml.FindChildElem("ERRORS"))
        return errors;
    xml.IntoElem();
    while (xml.FindChildElem("ERROR")) {
        const std::string message = xml.GetChildData();
        errors.push_back(message.substr(0, message.find_first_of("\r\n")));
    }
    return errors;
}

void CProgressPrinter::Show(const std::string& document) {
    if (document == m_lastDocument) return;
    const progress_view_t view = ReadProgressView(document);
    if (view.stage != m_lastStage) {
        if (m_lastPercentage != 0) std::fprintf(m_out, "(%d%%)", m_lastPercentage);
        std::fprintf(m_out, "\n");
        std::fprintf(m_out, "%s:\n", view.stage.c_str());
        m_lastStage = view.stage;
        m_lastPercentage = 0;
    }
    if (view.text != m_lastText) {
        if (m_lastPercentage != 0) std::fprintf(m_out, "(%d%%)", m_lastPercentage);
        if (!view.text.empty()) std::fprintf(m_out, "\n - %s", view.text.c_str());
        m_lastText = view.text;
    }
    m_lastPercentage = view.percentage;
    m_lastDocument = document;
}

void CProgressPrinter::Finish() {
    std::fprintf(m_out, "(%d%%)", 100);
    std::fflush(m_out);
}

void CProgressPrinter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopped && !CProgress::ShouldCancel()) {
        lock.unlock();
        Show(LogvaneGetProgress());
        std::fflush(m_out);
        lock.lock();
        m_wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_stopped; });
    }
    lock.unlock();
    Finish();
}

void CProgressPrinter::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
}

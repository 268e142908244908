#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// The fields of a progress document that the printer shows.
struct progress_view_t {
    std::string text;
    int percentage = 0;  // leading digits of PERCENTAGE, clamped to 0-100
    std::string stage;
};

// Reads TEXT, PERCENTAGE and STAGE of a progress document; empty fields for broken XML.
progress_view_t ReadProgressView(const std::string& document);

// The messages of the document's ERRORS, each cut before its first CR or LF.
std::vector<std::string> ReadProgressErrors(const std::string& document);

// Prints a run's progress as stage headers and " - " items with the percentage each reached.
class CProgressPrinter {
public:
    explicit CProgressPrinter(FILE* out) : m_out(out) {}

    // Shows one polled document; an unchanged document prints nothing.
    void Show(const std::string& document);
    // The last output of a run: "(100%)".
    void Finish();

    // Polls LogvaneGetProgress every 50 ms until the progress cancel flag is set or Stop is
    // called, then prints "(100%)".
    void Run();
    // Ends Run at once instead of at its next poll: a finished run need not wait for it.
    void Stop();

private:
    FILE* m_out;
    std::string m_lastDocument;
    std::string m_lastStage;
    std::string m_lastText;
    int m_lastPercentage = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopped = false;
};

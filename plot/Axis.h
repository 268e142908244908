#pragma once

#include <string>
#include <vector>

#include "plot/Types.h"

// One axis of an XY chart: its scale (automatic, linear, date or text labels), the format of
// its tick labels, its title and whether it runs backwards.
namespace plot {

enum class scale_t { AUTO, LINEAR, DATE, LABELS };

struct tick_t {
    double value = 0;
    std::string label;  // UTF-8, ready to draw
};

class CAxis {
public:
    void SetTitle(const std::string& text, double points = 8);
    // lower..upper with ticks at round steps chosen for the axis length.
    void SetLinearScale(double lower, double upper);
    // lower..upper (chart times) with a tick every `step` seconds.
    void SetDateScale(double lower, double upper, double step);
    // One slot per label; data value i sits in the middle of slot i.
    void SetLabels(std::vector<std::string> labels);
    void SetLabelFormat(const std::string& format) { m_format = format; }
    void SetReverse(bool reverse = true) { m_reverse = reverse; }

    // Settles an automatic scale on the data range: from 0 (or the negative minimum) up to
    // the next round number above dataMax. Other scales are left alone.
    void AutoScale(double dataMin, double dataMax, double lengthPx);

    // Where value lies along the axis, 0 at its start and 1 at its end, reversal applied.
    double Position(double value) const;
    // The ticks with their labels; minSpacing is the least distance in pixels between two
    // linear ticks.
    std::vector<tick_t> Ticks(double lengthPx, double minSpacing) const;

    scale_t Scale() const { return m_scale; }
    double Lower() const { return m_lower; }
    double Upper() const { return m_upper; }
    const std::string& Title() const { return m_title; }
    const font_t& TitleFont() const { return m_titleFont; }
    const font_t& LabelFont() const { return m_labelFont; }
    const std::string& LabelFormat() const { return m_format; }
    const std::vector<std::string>& Labels() const { return m_labels; }
    bool Reversed() const { return m_reverse; }

    // A round step (1, 2 or 5 times a power of ten) of at least `rough`.
    static double NiceStep(double rough);

private:
    scale_t m_scale = scale_t::AUTO;
    double m_lower = 0, m_upper = 1, m_step = 0;
    double m_tickStart = 0;  // first date tick
    std::vector<std::string> m_labels;
    std::string m_format;
    std::string m_title;
    font_t m_titleFont{"Liberation Sans", 8, true, false, 0x000000};
    font_t m_labelFont{"Liberation Sans", 8, false, false, 0x000000};
    bool m_reverse = false;
};

}  // namespace plot

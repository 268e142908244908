#include "plot/Axis.h"

#include <algorithm>
#include <cmath>

#include "plot/LabelFormat.h"
#include "plot/Text.h"

namespace plot {

// Enough for a daily scale over a century; bounds the work a hostile range can cause.
constexpr int kMaxTicks = 40000;

void CAxis::SetTitle(const std::string& text, double points) {
    m_title = ToDisplayText(text);
    m_titleFont.points = points;
}

void CAxis::SetLinearScale(double lower, double upper) {
    m_scale = scale_t::LINEAR;
    if (!std::isfinite(lower) || !std::isfinite(upper)) lower = upper = 0;
    m_lower = lower;
    m_upper = upper > lower ? upper : lower + 1;
    m_step = 0;
}

void CAxis::SetDateScale(double lower, double upper, double step) {
    m_scale = scale_t::DATE;
    if (!std::isfinite(lower) || !std::isfinite(upper)) lower = upper = 0;
    m_step = step > 0 && std::isfinite(step) ? step : 86400;
    m_tickStart = lower;
    // A single day still gets room on both sides, so its point is not drawn on the frame.
    m_lower = upper > lower ? lower : lower - m_step / 2;
    m_upper = upper > lower ? upper : lower + m_step / 2;
}

void CAxis::SetLabels(std::vector<std::string> labels) {
    m_scale = scale_t::LABELS;
    m_labels.clear();
    for (const std::string& label : labels) m_labels.push_back(ToDisplayText(label));
    m_lower = -0.5;
    m_upper = m_labels.empty() ? 0.5 : static_cast<double>(m_labels.size()) - 0.5;
}

double CAxis::NiceStep(double rough) {
    if (!(rough > 0) || !std::isfinite(rough)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= rough * (1 - 1e-9)) return m * power;
    return 10 * power;
}

void CAxis::AutoScale(double dataMin, double dataMax, double lengthPx) {
    if (m_scale != scale_t::AUTO) return;
    if (!std::isfinite(dataMin) || !std::isfinite(dataMax)) dataMin = dataMax = 0;
    m_lower = std::min(0.0, dataMin);
    if (dataMax <= m_lower) dataMax = m_lower + 1;
    const double ticks = std::max(2.0, lengthPx / 40);
    double step = NiceStep((dataMax - m_lower) / ticks);
    if (m_lower < 0) m_lower = std::floor(m_lower / step) * step;
    m_upper = std::ceil(dataMax / step - 1e-9) * step;
    m_step = step;
}

double CAxis::Position(double value) const {
    const double span = m_upper - m_lower;
    const double p = span > 0 ? (value - m_lower) / span : 0.5;
    return m_reverse ? 1 - p : p;
}

std::vector<tick_t> CAxis::Ticks(double lengthPx, double minSpacing) const {
    std::vector<tick_t> ticks;
    if (m_scale == scale_t::LABELS) {
        for (size_t i = 0; i < m_labels.size(); ++i)
            ticks.push_back({static_cast<double>(i), m_labels[i]});
        return ticks;
    }
    const double span = m_upper - m_lower;
    double step = m_step;
    std::string format = m_format;
    if (m_scale == scale_t::DATE) {
        if (format.empty()) format = "{value|mmm d}";
    } else {
        const double roughCount = std::max(1.0, lengthPx / std::max(minSpacing, 1.0));
        step = std::max(m_step, NiceStep(span / roughCount));
        if (format.empty()) {
            const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
            format = "{value|" + std::to_string(decimals) + ",.}";
        }
    }
    const double first =
        m_scale == scale_t::DATE ? m_tickStart : std::ceil(m_lower / step - 1e-9) * step;
    for (int i = 0; i < kMaxTicks; ++i) {
        double v = first + i * step;
        if (v > m_upper + step * 1e-6) break;
        if (std::fabs(v) < step * 1e-9) v = 0;
        ticks.push_back({v, ExpandLabelFormat(format, v)});
    }
    return ticks;
}

}  // namespace plot

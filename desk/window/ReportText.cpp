#include "desk/window/ReportText.h"

#include <QFile>

namespace {

// Windows-1252 bytes 0x80-0x9F; the five undefined ones map to their C1 control points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the UTF-8 sequence starting at `s[i]`; 0 when it is malformed.
size_t Utf8SequenceLength(const unsigned char* s, size_t i, size_t n) {
    const unsigned char c = s[i];
    if (c < 0x80) return 1;
    size_t len;
    unsigned min;
    unsigned value;
    if ((c & 0xE0) == 0xC0) {
        len = 2, min = 0x80, value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, min = 0x800, value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, value = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (s[i + k] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0, n = bytes.size(); i < n;) {
        const size_t len = Utf8SequenceLength(s, i, n);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

QString FromReportBytes(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        text.append(c >= 0x80 && c < 0xA0 ? QChar(kCp1252High[c - 0x80]) : QChar(char16_t(c)));
    }
    return text;
}

QString FromReportBytes(const char* bytes) {
    return FromReportBytes(std::string(bytes ? bytes : ""));
}

std::string ToLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

#pragma once

#include <cstddef>
#include <cstdint>

// Where the spaces and double quotes of one line stand, found with the line's end in one pass
// (thirty-two bytes at a time where the processor has AVX2, sixteen otherwise), for parsers that
// then step from field to field without looking at the bytes again. Only plain lines are
// indexed: shorter than kMaxLength bytes, and no tab and no byte that is no field byte before the
// line's end; a parser reads any other line the general way.
class CLineIndex {
public:
    static constexpr std::size_t kMaxLength = 512;

    // Indexes the line at the start of text, which ends at the first CR or LF within `available`
    // bytes or at their end (with stopsAtLineEnd), or is all of them (without: then a CR or LF is
    // a control byte). False, leaving the index unusable, when the line is not plain. Reads no
    // byte at or past available.
    bool Build(const char* text, std::size_t available, bool stopsAtLineEnd);

    // The line's length, without its CR or LF.
    std::size_t Length() const { return m_length; }

    // The first space (double quote) at or after from, or Length() when none. from must not be
    // past Length(): the search relies on a mark at the line's end.
    std::size_t NextSpace(std::size_t from) const { return Next(m_spaces, from); }
    std::size_t NextQuote(std::size_t from) const { return Next(m_quotes, from); }

    // How Build finds the stop bytes: with the widest vectors the processor has, or (for tests)
    // sixteen bytes at a time.
    enum class width_t { Best, Narrow };
    static void UseWidth(width_t width);

    static constexpr std::size_t kChunks = kMaxLength / 64;

private:
    std::size_t Next(const std::uint64_t* bits, std::size_t from) const {
        std::size_t chunk = from / 64;
        std::uint64_t word = bits[chunk] & (~std::uint64_t(0) << (from % 64));
        while (word == 0) word = bits[++chunk];
        return chunk * 64 + std::size_t(__builtin_ctzll(word));
    }

    std::uint64_t m_spaces[kChunks];
    std::uint64_t m_quotes[kChunks];
    std::size_t m_length = 0;
};

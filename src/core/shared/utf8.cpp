#include "core/shared/utf8.hpp"

namespace quenta {
namespace {

// The length of the well-formed sequence that starts at `i`; 0 when the byte there starts none.
std::size_t sequenceLength(std::string_view bytes, std::size_t i) {
    const std::size_t n = bytes.size();
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
        return 1;
    }
    {
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0;
            } else if (lead == 0xED) {
                high = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90;
            } else if (lead == 0xF4) {
                high = 0x8F;
            }
        } else {
            return 0;
        }
        if (i + length > n) {
            return 0;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (next < min || next > max) {
                return 0;
            }
        }
        return length;
    }
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string escapingForOutput(std::string_view bytes, bool keepLineFeeds) {
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size());
    const auto appendHex = [&](unsigned value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
            text += kHexDigits[(value >> static_cast<unsigned>(shift)) & 0xFU];
        }
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i);
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (length == 0 ||
            (length == 1 && (lead < 0x20 || lead == 0x7F) && !(keepLineFeeds && lead == '\n'))) {
            text += "\\x";
            appendHex(lead, 2);
            ++i;
            continue;
        }
        unsigned codePoint = lead;
        if (length == 2) {
            codePoint = ((lead & 0x1FU) << 6U) | (static_cast<unsigned char>(bytes[i + 1]) & 0x3FU);
        } else if (length == 3) {
            codePoint = ((lead & 0x0FU) << 12U) |
                        ((static_cast<unsigned char>(bytes[i + 1]) & 0x3FU) << 6U) |
                        (static_cast<unsigned char>(bytes[i + 2]) & 0x3FU);
        }
        const bool c1 = codePoint >= 0x80 && codePoint <= 0x9F;
        const bool bidi = (codePoint >= 0x202A && codePoint <= 0x202E) ||
                          (codePoint >= 0x2066 && codePoint <= 0x2069);
        if (length > 1 && (c1 || bidi)) {
            text += "\\u";
            appendHex(codePoint, 4);
        } else {
            text.append(bytes.substr(i, length));
        }
        i += length;
    }
    return text;
}

}  // namespace quenta

#include "adapters/linux/posix/random_uuid_source.hpp"

#include <sys/random.h>

#include <cerrno>
#include <random>

namespace quenta::linux_platform {

std::string formatUuidV4(std::array<std::uint8_t, 16> bytes) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(hexDigits[bytes[i] >> 4]);
        text.push_back(hexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string RandomUuidSource::makeUuidString() {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            // No kernel random source: fall back to the library's, still unique per call.
            std::random_device device;
            for (auto& byte : bytes) {
                byte = static_cast<std::uint8_t>(device());
            }
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    return formatUuidV4(bytes);
}

}  // namespace quenta::linux_platform

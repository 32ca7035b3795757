#include "tools/updpkg/setup_key.h"

#include <algorithm>

#include "app/trusted_key.h"
#include "tools/updpkg/pe_image.h"

namespace updpkg {

namespace {

constexpr std::size_t kCertificateTable = 4;

}  // namespace

std::optional<KeySlot> FindKeySlot(const std::string& image) {
    const std::optional<PeHeaders> h = ReadPeHeaders(image);
    if (!h) return std::nullopt;
    for (const PeSection& s : h->sections) {
        if (s.name != trustedkey::kSectionName || s.rawSize < trustedkey::kSlotSize) continue;
        if (s.rawOffset > image.size() || image.size() - s.rawOffset < trustedkey::kSlotSize) return std::nullopt;
        const char* slot = image.data() + s.rawOffset;
        if (!std::equal(std::begin(trustedkey::kMagic), std::end(trustedkey::kMagic),
                        reinterpret_cast<const unsigned char*>(slot)))
            return std::nullopt;
        KeySlot found;
        found.offset = s.rawOffset;
        const unsigned char* present = reinterpret_cast<const unsigned char*>(slot + trustedkey::kPresentAt);
        if ((present[0] | present[1] << 8 | present[2] << 16 | static_cast<unsigned>(present[3]) << 24) == 1) {
            crypto::PublicKey key;
            std::copy_n(slot + trustedkey::kPointAt, key.size(), key.begin());
            found.key = key;
        }
        return found;
    }
    return std::nullopt;
}

bool IsAuthenticodeSigned(const std::string& image) {
    const std::optional<PeHeaders> h = ReadPeHeaders(image);
    return h && h->directories.size() > kCertificateTable && h->directories[kCertificateTable].second != 0;
}

void PutKey(std::string& image, const KeySlot& slot, const crypto::PublicKey& key) {
    char* p = image.data() + slot.offset;
    const unsigned char present[4] = {1, 0, 0, 0};
    std::copy_n(present, 4, p + trustedkey::kPresentAt);
    std::copy_n(key.begin(), key.size(), p + trustedkey::kPointAt);
    // The linker wrote a checksum of the image: it stays true.
    const std::optional<PeHeaders> h = ReadPeHeaders(image);
    if (!h || h->checksumAt + 4 > image.size()) return;
    char* field = image.data() + h->checksumAt;
    if (!field[0] && !field[1] && !field[2] && !field[3]) return;
    const uint32_t sum = PeChecksum(image, h->checksumAt);
    for (int i = 0; i < 4; ++i) field[i] = static_cast<char>(sum >> (8 * i));
}

}  // namespace updpkg

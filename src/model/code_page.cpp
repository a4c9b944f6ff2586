#include "model/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace plovant {

bool IsAscii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

std::string DecodeGameText(std::string_view bytes) {
    if (IsAscii(bytes)) return std::string(bytes);

    // "CP949" includes the UHC extension; "EUC-KR" would mis-decode those characters.
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep the ASCII and mark everything else as unknown.
        std::string out;
        for (unsigned char c : bytes) out += c < 0x80 ? std::string(1, char(c)) : "\xEF\xBF\xBD";
        return out;
    }

    std::string out;
    std::vector<char> buffer(bytes.size() * 3 + 8);
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    while (in_left > 0) {
        char* dst = buffer.data();
        size_t dst_left = buffer.size();
        size_t r = iconv(cd, &in, &in_left, &dst, &dst_left);
        out.append(buffer.data(), dst - buffer.data());
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            buffer.resize(buffer.size() * 2);
        } else {
            // EILSEQ or EINVAL (a lead byte without its trail): skip one byte.
            out += "\xEF\xBF\xBD";
            ++in;
            --in_left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace plovant

#include "Resources/Fonts/ToUnicode.h"

#include <cstring>
#include <string>

#include "Pdf/Limits.h"

namespace {

struct Scanner {
    const unsigned char* p;
    const unsigned char* end;

    // The next token: "<hex>" (as its bytes, in `bytes`), "[", "]", or a bare word. False at
    // the end of the data.
    bool Next(std::string* word, std::string* bytes, bool* hex)
    {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t' || *p == '\f' || *p == 0))
            p++;
        if (p >= end)
            return false;
        word->clear();
        bytes->clear();
        *hex = false;
        if (*p == '%') {
            while (p < end && *p != '\n' && *p != '\r')
                p++;
            return Next(word, bytes, hex);
        }
        if (*p == '<' && !(p + 1 < end && p[1] == '<')) {
            p++;
            *hex = true;
            int half = -1;
            while (p < end && *p != '>') {
                int v = -1;
                if (*p >= '0' && *p <= '9')
                    v = *p - '0';
                else if (*p >= 'a' && *p <= 'f')
                    v = *p - 'a' + 10;
                else if (*p >= 'A' && *p <= 'F')
                    v = *p - 'A' + 10;
                p++;
                if (v < 0)
                    continue;
                if (half < 0) {
                    half = v;
                } else {
                    bytes->push_back((char)(half << 4 | v));
                    half = -1;
                }
            }
            if (half >= 0)
                bytes->push_back((char)(half << 4));
            if (p < end)
                p++;
            return true;
        }
        if (*p == '[' || *p == ']') {
            word->assign(1, (char)*p++);
            return true;
        }
        while (p < end && !strchr(" \n\r\t\f<>[]%/()", *p) && *p != 0)
            word->push_back((char)*p++);
        if (word->empty())
            word->assign(1, (char)*p++);
        return true;
    }
};

// A two-byte source code, or -1.
long Code(const std::string& bytes)
{
    if (bytes.size() != 2)
        return -1;
    return (long)((unsigned char)bytes[0] << 8 | (unsigned char)bytes[1]);
}

// The first character of a UTF-16BE target when it lies in the Basic Multilingual Plane.
uint16_t FirstChar(const std::string& bytes)
{
    if (bytes.size() < 2)
        return 0;
    uint16_t u = (uint16_t)((unsigned char)bytes[0] << 8 | (unsigned char)bytes[1]);
    return (u >= 0xD800 && u <= 0xDFFF) ? 0 : u;
}

}  // namespace

long ReadToUnicode(const unsigned char* data, size_t size, std::vector<uint16_t>* unicode)
{
    unicode->assign(65536, 0);
    if (!data)
        return 0;
    Scanner s = {data, data + size};
    std::string word, bytes, a, b;
    bool hex = false;
    long assigned = 0;
    enum { NONE, CHARS, RANGES } section = NONE;
    while (s.Next(&word, &bytes, &hex)) {
        if (!hex) {
            if (word == "beginbfchar")
                section = CHARS;
            else if (word == "beginbfrange")
                section = RANGES;
            else if (word == "endbfchar" || word == "endbfrange")
                section = NONE;
            continue;
        }
        if (section == CHARS) {
            a = bytes;
            if (!s.Next(&word, &bytes, &hex) || !hex)
                continue;
            long c = Code(a);
            if (c >= 0) {
                (*unicode)[c] = FirstChar(bytes);
                assigned++;
            }
        } else if (section == RANGES) {
            a = bytes;
            if (!s.Next(&word, &bytes, &hex) || !hex)
                continue;
            b = bytes;
            long lo = Code(a), hi = Code(b);
            if (!s.Next(&word, &bytes, &hex))
                break;
            if (hex) {
                uint16_t first = FirstChar(bytes);
                for (long c = lo; lo >= 0 && c <= hi && assigned < FONT_MAX_TOUNICODE_CODES; c++) {
                    (*unicode)[c] = first ? (uint16_t)(first + (c - lo)) : 0;
                    assigned++;
                }
            } else if (word == "[") {
                // One target per code of the range, in order.
                long c = lo;
                while (s.Next(&word, &bytes, &hex) && !(!hex && word == "]")) {
                    if (hex && lo >= 0 && c <= hi && assigned < FONT_MAX_TOUNICODE_CODES) {
                        (*unicode)[c] = FirstChar(bytes);
                        assigned++;
                    }
                    c++;
                }
            }
        }
    }
    return assigned;
}

// The ToUnicode character map of a font: which character each two-byte code stands for.
#ifndef VARDEX_RESOURCES_FONTS_TOUNICODE_H
#define VARDEX_RESOURCES_FONTS_TOUNICODE_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads the bfchar and bfrange sections of a ToUnicode map into `unicode` (65536 entries, 0
// where a code maps to nothing). Only two-byte source codes are taken, and of each target the
// first character of the Basic Multilingual Plane. Ranges together assign at most
// FONT_MAX_TOUNICODE_CODES codes; what lies beyond is passed over. Returns the codes assigned.
long ReadToUnicode(const unsigned char* data, size_t size, std::vector<uint16_t>* unicode);

#endif

// The colour-space vocabulary shared by image extraction and the colour operators: codes
// for the spaces a PDF names, and the records an image's colour space is read into.
#ifndef VARDEX_RESOURCES_COLORSPACE_H
#define VARDEX_RESOURCES_COLORSPACE_H

class PdfObj;

enum ColorSpace : int {
    CS_DEVICEGRAY = 1,
    CS_DEVICERGB = 2,
    CS_DEVICECMYK = 3,
    CS_PATTERN = 4,
    CS_ICCBASED = 5,
    CS_INDEXED = 6,
    CS_CALGRAY = 7,
    CS_CALRGB = 8,
    // Lab, Separation, DeviceN, a resource name, any name not listed above.
    CS_OTHER = 9
};

// Entries of every palette: an index is one byte at most, so a palette of this size can be
// looked up with any index without a bounds check.
enum { INDEX_PALETTE_ENTRIES = 256 };

// The code of a colour-space name, by exact comparison. Anything that is not a name, and
// the inline-image abbreviations (G, RGB, CMYK, I), give CS_OTHER.
ColorSpace NameToCS(PdfObj* name);

// Components of a device space: 1 gray, 3 RGB, 4 CMYK, 3 ICCBased, 0 for every other code.
int Channels(ColorSpace cs);

// The value of an integer or real object; false (out untouched) for anything else.
bool NumberOf(PdfObj* obj, double* out);

// A CMYK sample as R G B, the plain complement of each channel plus black: what a reader
// without colour management shows, and what the PDF readers show for device CMYK.
void CmykToRgb(const unsigned char cmyk[4], unsigned char rgb[3]);

// CIE L*a*b* (L 0..100) relative to `whitePoint` (X Y Z, Y normally 1) as sRGB components
// 0..1, clamped. The colour is adapted to the sRGB white by scaling X, Y and Z with the ratio
// of the two white points, so the space's white becomes sRGB white whatever it is.
void LabToRgb(const double lab[3], const double whitePoint[3], double rgb[3]);

// The parameters of a [/Lab << /WhitePoint [...] /Range [...] >>] space, the dictionary given
// directly; entries it lacks or gives wrongly keep the defaults (D50 white, a and b -100..100).
struct LabParams {
    double whitePoint[3] = {0.9642, 1.0, 0.8249};
    double range[4] = {-100, 100, -100, 100};
};
LabParams ReadLabParams(PdfObj* dict);

// What GetColorSpace makes of an image's colour space; owned by the caller. `cs` tells
// which record it is: a space given by name carries nothing else.
struct ColorSpaceRecord {
    explicit ColorSpaceRecord(int code) : cs(code) {}
    virtual ~ColorSpaceRecord() {}
    ColorSpaceRecord(const ColorSpaceRecord&) = delete;
    ColorSpaceRecord& operator=(const ColorSpaceRecord&) = delete;

    int cs;
};

// [/Indexed base hival lookup].
struct IndexColorSpace : ColorSpaceRecord {
    IndexColorSpace();
    ~IndexColorSpace() override;

    int base;   // ColorSpace code of the base space
    int hival;  // highest index the palette defines, 0 to 255
    // Always INDEX_PALETTE_ENTRIES R G B triples, whatever the base: gray and CMYK
    // palettes are converted when read, and entries the file does not give stay black.
    unsigned char* lookup;
};

// [/ICCBased stream].
struct IccColorSpace : ColorSpaceRecord {
    IccColorSpace();

    int alternate;  // ColorSpace code; CS_DEVICERGB whenever N is 3
    int N;          // components of the profile, 0 when unknown
};

// The record as the kind its code names, or null when it is not that kind. A bare family
// name (/Indexed, /ICCBased) gives a plain record whose code still names the family, so the
// code alone never licenses reading a record as an indexed or ICC one.
IndexColorSpace* AsIndexed(ColorSpaceRecord* record);
IccColorSpace* AsIcc(ColorSpaceRecord* record);

// Packed indexes of `bpc` bits (1, 2, 4 or 8; rows padded to a whole byte, height rows of
// width) as a malloc block of width × height R G B pixels through the palette; null for other
// depths, sizes of 0 or below, or a block beyond PNG_MAX_BUFFER_BYTES. The data must hold all
// the rows.
unsigned char* IndexToRgb(const IndexColorSpace* ics, const void* data, int width, int height,
                          int bpc);

#endif

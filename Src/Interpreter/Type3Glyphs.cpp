// The Type 3 road: glyph procedures run as nested content streams, and the glyph names of
// the codes of a Type 3 font's encoding.
#include "Interpreter/TextShow.h"

#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfObj.h"
#include "Resources/PdfPageTree.h"

using namespace textshow;

namespace {

// Glyph space of a Type 3 font whose FontMatrix cannot be read.
const pdfmatrix kDefaultFontMatrix = {0.001, 0.0, 0.0, 0.001, 0.0, 0.0};

// Glyph names of the base encodings, for Type 3 fonts that name one: codes 0x20 to 0x7E
// (where StandardEncoding differs only at 0x27 and 0x60), and the upper halves.
const char* const kAsciiNames[95] = {
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash", "zero",
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "colon", "semicolon",
    "less", "equal", "greater", "question", "at", "A", "B", "C", "D", "E", "F", "G", "H", "I",
    "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "bracketleft", "backslash", "bracketright", "asciicircum", "underscore", "grave", "a", "b",
    "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t",
    "u", "v", "w", "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde"};

const char* const kWinAnsiUpper[128] = {
    "Euro", nullptr, "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger",
    "daggerdbl", "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", nullptr, "Zcaron",
    nullptr, nullptr, "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet",
    "endash", "emdash", "tilde", "trademark", "scaron", "guilsinglright", "oe", nullptr, "zcaron",
    "Ydieresis", "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar",
    "section", "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen",
    "registered", "macron", "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu",
    "paragraph", "periodcentered", "cedilla", "onesuperior", "ordmasculine", "guillemotright",
    "onequarter", "onehalf", "threequarters", "questiondown", "Agrave", "Aacute", "Acircumflex",
    "Atilde", "Adieresis", "Aring", "AE", "Ccedilla", "Egrave", "Eacute", "Ecircumflex",
    "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis", "Eth", "Ntilde", "Ograve",
    "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply", "Oslash", "Ugrave", "Uacute",
    "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls", "agrave", "aacute",
    "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla", "egrave", "eacute",
    "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis", "eth", "ntilde",
    "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide", "oslash", "ugrave",
    "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis"};

struct CodeName {
    unsigned char code;
    const char* name;
};
const CodeName kStandardUpper[] = {
    {0xA1, "exclamdown"}, {0xA2, "cent"}, {0xA3, "sterling"}, {0xA4, "fraction"},
    {0xA5, "yen"}, {0xA6, "florin"}, {0xA7, "section"}, {0xA8, "currency"},
    {0xA9, "quotesingle"}, {0xAA, "quotedblleft"}, {0xAB, "guillemotleft"},
    {0xAC, "guilsinglleft"}, {0xAD, "guilsinglright"}, {0xAE, "fi"}, {0xAF, "fl"},
    {0xB1, "endash"}, {0xB2, "dagger"}, {0xB3, "daggerdbl"}, {0xB4, "periodcentered"},
    {0xB6, "paragraph"}, {0xB7, "bullet"}, {0xB8, "quotesinglbase"}, {0xB9, "quotedblbase"},
    {0xBA, "quotedblright"}, {0xBB, "guillemotright"}, {0xBC, "ellipsis"},
    {0xBD, "perthousand"}, {0xBF, "questiondown"}, {0xC1, "grave"}, {0xC2, "acute"},
    {0xC3, "circumflex"}, {0xC4, "tilde"}, {0xC5, "macron"}, {0xC6, "breve"},
    {0xC7, "dotaccent"}, {0xC8, "dieresis"}, {0xCA, "ring"}, {0xCB, "cedilla"},
    {0xCD, "hungarumlaut"}, {0xCE, "ogonek"}, {0xCF, "caron"}, {0xD0, "emdash"}, {0xE1, "AE"},
    {0xE3, "ordfeminine"}, {0xE8, "Lslash"}, {0xE9, "Oslash"}, {0xEA, "OE"},
    {0xEB, "ordmasculine"}, {0xF1, "ae"}, {0xF5, "dotlessi"}, {0xF8, "lslash"},
    {0xF9, "oslash"}, {0xFA, "oe"}, {0xFB, "germandbls"}};

// The name a base encoding gives a code, or null.
const char* BaseEncodingName(const char* encoding, unsigned int code)
{
    if (!encoding)
        return nullptr;
    bool standard = strcmp(encoding, "StandardEncoding") == 0;
    bool winAnsi = strcmp(encoding, "WinAnsiEncoding") == 0;
    bool macRoman = strcmp(encoding, "MacRomanEncoding") == 0;
    if (!standard && !winAnsi && !macRoman)
        return nullptr;
    if (code >= 0x20 && code <= 0x7E) {
        if (standard && code == 0x27)
            return "quoteright";
        if (standard && code == 0x60)
            return "quoteleft";
        return kAsciiNames[code - 0x20];
    }
    if (winAnsi && code >= 0x80 && code <= 0xFF)
        return kWinAnsiUpper[code - 0x80];
    if (standard)
        for (const CodeName& c : kStandardUpper)
            if (c.code == code)
                return c.name;
    return nullptr;
}

}  // namespace

// The glyph name of a code in a Type 3 font's encoding: its Differences, else the base
// encoding it names.
int ContentParser::MapChartoName(PdfDict* encoding, unsigned int code, PdfObj** name)
{
    if (!encoding || !name || !pages)
        return -1;
    PdfArray diffs;
    Key key("Differences");
    pages->GetArray(diffs, &key, encoding);
    int i = 0;
    while (i < diffs.count) {
        PdfObj* item = diffs.items[i];
        if (!item || item->Type() != PDF_NUMBER) {
            i++;
            continue;
        }
        long base = static_cast<PdfNumber*>(item)->value;
        int first = i + 1;
        int end = first;
        while (end < diffs.count && diffs.items[end] && diffs.items[end]->Type() == PDF_NAME)
            end++;
        if ((long)code >= base && (long)code < base + (end - first)) {
            PdfObj* found = diffs.items[first + ((long)code - base)]->Dup();
            if (!found)
                return -1;
            *name = found;
            return 0;
        }
        i = end;
    }
    Key baseKey("BaseEncoding");
    PdfName baseName;
    pages->GetName(baseName, &baseKey, encoding);
    const char* text = BaseEncodingName(baseName.str, code);
    if (!text)
        return -1;
    *name = new Key(text);
    return 0;
}

namespace textshow {

void ShowType3(const Show& s)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;
    PdfObj* font = s.font;
    if (!cp->pages)
        return;

    Key firstKey("FirstChar");
    PdfNumber firstChar;
    firstChar.value = 0;
    cp->pages->GetNumber(firstChar, &firstKey, font);

    Key procsKey("CharProcs");
    PdfDict charProcs;
    bool haveProcs = cp->pages->GetDict(charProcs, &procsKey, font) == 0;

    Key encodingKey("Encoding");
    PdfDict encoding;
    bool haveEncoding = cp->pages->GetDict(encoding, &encodingKey, font) == 0;

    Key widthsKey("Widths");
    PdfArray widths;
    cp->pages->GetArray(widths, &widthsKey, font);

    Key matrixKey("FontMatrix");
    PdfArray fmArray;
    cp->pages->GetArray(fmArray, &matrixKey, font);
    pdfmatrix fm = kDefaultFontMatrix;
    double v[6] = {0, 0, 0, 0, 0, 0};
    int numbers = 0;
    while (numbers < 6 && numbers < fmArray.count &&
           OperandNumber(fmArray.items[numbers], &v[numbers]) == 0)
        numbers++;
    if (numbers >= 4) {
        fm.a = v[0];
        fm.b = v[1];
        fm.c = v[2];
        fm.d = v[3];
        fm.e = numbers == 6 ? v[4] : 0.0;
        fm.f = numbers == 6 ? v[5] : 0.0;
    }

    // The glyph procedures resolve names in the font's own resources, where it has them.
    PdfDictEntry* own = PdfDictFindEntry(font, "Resources");
    PdfObj* glyphResources = own && own->value ? own->value : cp->resources;

    const bool draw = haveProcs && haveEncoding && !Invisible(gs->renderMode);
    auto glyph = [&](unsigned int code, double pen) -> double {
        double w = 0.0;
        long idx = (long)code - (long)firstChar.value;
        if (idx >= 0 && idx < widths.count)
            OperandNumber(widths.items[idx], &w);
        if (!draw)
            return w * fm.a * 1000.0;
        PdfObj* name = nullptr;
        if (cp->MapChartoName(&encoding, code, &name) != 0 || !name)
            return w * fm.a * 1000.0;
        PdfDictEntry* proc = PdfDictFindEntry(&charProcs, static_cast<PdfName*>(name)->str);
        delete name;
        if (!proc || !proc->value || proc->value->Type() != PDF_INDIRECT)
            return w * fm.a * 1000.0;

        // Glyph space to the page: FontMatrix, the size, the pen along the line with the
        // horizontal scaling and the rise, Tm, the CTM.
        pdfmatrix glyphSpace = {fm.a * s.size, fm.b * s.size, fm.c * s.size,
                                fm.d * s.size, fm.e * s.size, fm.f * s.size};
        pdfmatrix line = LineSpace(gs, pen * s.size / 1000.0);
        pdfmatrix toUser;
        ConcatMatrix(&line, &glyphSpace, &toUser);
        pdfmatrix savedCtm = gs->ctm;
        ConcatMatrix(&savedCtm, &toUser, &gs->ctm);
        // The glyph starts with an empty path of its own.
        PDF_PathGeometry* kept = gs->path;
        gs->path = new PDF_PathGeometry;
        cp->ProcessPatternStream(static_cast<PdfIndirect*>(proc->value)->refNum, glyphResources,
                                 gs);
        delete gs->path;
        gs->path = kept;
        gs->ctm = savedCtm;
        return w * fm.a * 1000.0;
    };
    double total = Walk(s, 1, true, glyph, [](unsigned int, double, bool) {});
    Advance(gs, total * s.size / 1000.0);
}

}  // namespace textshow

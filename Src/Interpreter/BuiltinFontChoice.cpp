// Fonts drawn from the built-in standard font data: a Type 1 font under a standard name, and
// a font the PDF names without embedding a program, drawn with the nearest standard font.
// The dictionary's widths place every glyph where the PDF puts it, whichever face draws it.
#include "Interpreter/TextShow.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/Fonts/BaseFonts.h"
#include "Resources/Fonts/FontEncoding.h"
#include "Resources/Fonts/FontSubstitute.h"
#include "Resources/Fonts/ToUnicode.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

namespace textshow {

// The data of the standard font that a font dictionary (or a CIDFont) names, else of the one
// nearest to its BaseFont and descriptor. False when there is none.
static bool FaceFor(PdfPageTree* pages, PdfObj* font, BuiltinChoice* out)
{
    PdfKey baseFontKey("BaseFont");
    PdfName baseFont;
    pages->GetName(baseFont, &baseFontKey, font);
    const char* chosen = baseFont.str;
    out->data = GetStandardFontdata(&baseFont, &out->length);
    if (!out->data) {
        FontLooks looks;
        PdfKey descriptorKey("FontDescriptor");
        PdfDict descriptor;
        if (pages->GetDict(descriptor, &descriptorKey, font) == 0) {
            PdfKey flagsKey("Flags"), weightKey("FontWeight"), angleKey("ItalicAngle");
            PdfNumber flags;
            PdfReal weight, angle;
            if (pages->GetNumber(flags, &flagsKey, &descriptor) == 0)
                looks.flags = flags.value;
            if (pages->GetReal(weight, &weightKey, &descriptor) == 0 && std::isfinite(weight.value))
                looks.weight = weight.value;
            if (pages->GetReal(angle, &angleKey, &descriptor) == 0 && std::isfinite(angle.value))
                looks.italicAngle = angle.value;
        }
        chosen = SubstituteFontName(baseFont.str, looks);
        PdfKey name(chosen);
        out->data = GetStandardFontdata(&name, &out->length);
        out->substitute = true;
    }
    out->symbolic = chosen && (strcmp(chosen, "Symbol") == 0 || strcmp(chosen, "ZapfDingbats") == 0);
    return out->data != nullptr;
}

bool ChooseBuiltin(ContentParser* cp, PdfObj* font, BuiltinChoice* out)
{
    PdfPageTree* pages = cp->pages;
    if (!pages || !font || font->Type() != PDF_DICT || !FaceFor(pages, font, out))
        return false;

    out->info.kind = KIND_STANDARD;
    PdfKey widthsKey("Widths"), firstKey("FirstChar");
    PdfArray widths;
    if (pages->GetArray(widths, &widthsKey, font) == 0 && widths.count > 0) {
        out->info.widths = (double*)malloc((size_t)widths.count * sizeof(double));
        if (out->info.widths) {
            out->info.count = widths.count;
            for (int i = 0; i < widths.count; i++) {
                double w = 0.0;
                if (OperandNumber(widths.items[i], &w) != 0 || !std::isfinite(w))
                    w = 0.0;
                out->info.widths[i] = w;
            }
        }
    }
    PdfNumber first;
    pages->GetNumber(first, &firstKey, font);
    out->info.firstChar = first.value;
    // A code that Widths leaves out takes the descriptor's MissingWidth (none: 0), not the
    // built-in face's own width.
    out->info.defaultWidth = 0.0;
    PdfKey descriptorKey("FontDescriptor"), missingKey("MissingWidth");
    PdfDict descriptor;
    PdfReal missing;
    if (pages->GetDict(descriptor, &descriptorKey, font) == 0 &&
        pages->GetReal(missing, &missingKey, &descriptor) == 0 && std::isfinite(missing.value))
        out->info.defaultWidth = missing.value;
    out->info.encoding = SimpleFontEncoding(pages->xref, font);
    return true;
}

// The characters and widths of a Type0 font without a program, read from its ToUnicode
// stream and its CIDFont's W and DW.
static NamedCidFont* ReadNamedCid(PdfPageTree* pages, int toUnicode, PdfObj* cidFont)
{
    char buf[PDF_PARSE_BUF];
    ByteBuffer data;
    data.growStep = 4096;
    if (DecodeResourceStream(pages, toUnicode, buf, sizeof buf, &data, nullptr) != 0) {
        free(data.data);
        return nullptr;
    }
    NamedCidFont* f = new NamedCidFont;
    ReadToUnicode(data.data, (size_t)data.size, &f->unicode);
    free(data.data);

    PdfKey dwKey("DW"), wKey("W");
    PdfReal dw;
    dw.value = 1000;
    if (pages->GetReal(dw, &dwKey, cidFont) != 0 || !std::isfinite(dw.value))
        dw.value = 1000;
    f->widths.assign(65536, dw.value);
    PdfArray w;
    pages->GetArray(w, &wKey, cidFont);
    FontInfo pairs;
    int32_t count = WalkWidths(&w, nullptr);
    if (count > 0) {
        pairs.widths = (double*)malloc((size_t)count * sizeof(double));
        pairs.cids = (uint16_t*)malloc((size_t)count * sizeof(uint16_t));
        if (pairs.widths && pairs.cids) {
            pairs.count = count;
            WalkWidths(&w, &pairs);
            // The first pair of a CID wins.
            for (int32_t i = count - 1; i >= 0; i--)
                f->widths[pairs.cids[i]] = std::isfinite(pairs.widths[i]) ? pairs.widths[i] : 0.0;
        }
    }
    return f;
}

NamedCidFont* ChooseNamedCid(ContentParser* cp, PdfObj* font, BuiltinChoice* out)
{
    PdfPageTree* pages = cp->pages;
    if (!pages || !pages->xref || !font || font->Type() != PDF_DICT)
        return nullptr;
    PdfKey encodingKey("Encoding");
    PdfName encoding;
    if (pages->GetName(encoding, &encodingKey, font) != 0 || !encoding.str ||
        (strcmp(encoding.str, "Identity-H") != 0 && strcmp(encoding.str, "Identity-V") != 0))
        return nullptr;
    PdfObj* toUnicode = PdfDictLookup(font, "ToUnicode");
    if (!toUnicode || toUnicode->Type() != PDF_INDIRECT)
        return nullptr;
    const int objNum = static_cast<PdfIndirect*>(toUnicode)->refNum;
    XrefEntry* entry = pages->xref->Entry(objNum);
    if (!entry)
        return nullptr;

    PdfKey descendantsKey("DescendantFonts");
    PdfArray descendants;
    pages->GetArray(descendants, &descendantsKey, font);
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* cidFont = descendants.count > 0
                          ? ResolveResource(pages->xref, descendants.items[0], buf, sizeof buf, &parsed)
                          : nullptr;
    NamedCidFont* named = nullptr;
    if (cidFont && cidFont->Type() == PDF_DICT && FaceFor(pages, cidFont, out)) {
        named = dynamic_cast<NamedCidFont*>(entry->resData);
        // Read once; an entry that holds another record is no ToUnicode map.
        if (!named && !entry->resData && !entry->path) {
            named = ReadNamedCid(pages, objNum, cidFont);
            entry->resData = named;
        }
    }
    delete parsed;
    return named;
}

}  // namespace textshow

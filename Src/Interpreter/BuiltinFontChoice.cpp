// Fonts drawn from the built-in standard font data: a Type 1 font under a standard name, and
// a font the PDF names without embedding a program, drawn with the nearest standard font.
// The dictionary's Widths place every glyph where the PDF puts it, whichever face draws it.
#include "Interpreter/TextShow.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Pdf/PdfObj.h"
#include "Resources/Fonts/BaseFonts.h"
#include "Resources/Fonts/FontEncoding.h"
#include "Resources/Fonts/FontSubstitute.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

namespace textshow {

bool ChooseBuiltin(ContentParser* cp, PdfObj* font, BuiltinChoice* out)
{
    PdfPageTree* pages = cp->pages;
    if (!pages || !font || font->Type() != PDF_DICT)
        return false;
    PdfKey baseFontKey("BaseFont");
    PdfName baseFont;
    pages->GetName(baseFont, &baseFontKey, font);
    out->data = GetStandardFontdata(&baseFont, &out->length);
    const char* chosen = baseFont.str;
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
            if (pages->GetReal(weight, &weightKey, &descriptor) == 0)
                looks.weight = weight.value;
            if (pages->GetReal(angle, &angleKey, &descriptor) == 0)
                looks.italicAngle = angle.value;
        }
        chosen = SubstituteFontName(baseFont.str, looks);
        PdfKey name(chosen);
        out->data = GetStandardFontdata(&name, &out->length);
        out->substitute = true;
    }
    if (!out->data)
        return false;
    out->symbolic = chosen && (strcmp(chosen, "Symbol") == 0 || strcmp(chosen, "ZapfDingbats") == 0);

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
    out->info.encoding = SimpleFontEncoding(pages->xref, font);
    return true;
}

}  // namespace textshow

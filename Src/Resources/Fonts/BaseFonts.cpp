#include "Resources/Fonts/BaseFonts.h"

#include <cstring>

#include "Pdf/PdfObj.h"

// Emitted by BaseFontData.S from the URW base-35 Type 1 files.
#define VARDEX_FACE(sym)                  \
    extern "C" const unsigned char sym[]; \
    extern "C" const unsigned int sym##_len;
VARDEX_FACE(fonts_NimbusMonoPS_Regular_t1)
VARDEX_FACE(fonts_NimbusMonoPS_Bold_t1)
VARDEX_FACE(fonts_NimbusMonoPS_Italic_t1)
VARDEX_FACE(fonts_NimbusMonoPS_BoldItalic_t1)
VARDEX_FACE(fonts_NimbusSans_Regular_t1)
VARDEX_FACE(fonts_NimbusSans_Bold_t1)
VARDEX_FACE(fonts_NimbusSans_Italic_t1)
VARDEX_FACE(fonts_NimbusSans_BoldItalic_t1)
VARDEX_FACE(fonts_NimbusRoman_Regular_t1)
VARDEX_FACE(fonts_NimbusRoman_Bold_t1)
VARDEX_FACE(fonts_NimbusRoman_Italic_t1)
VARDEX_FACE(fonts_NimbusRoman_BoldItalic_t1)
VARDEX_FACE(fonts_StandardSymbolsPS_t1)
VARDEX_FACE(fonts_D050000L_t1)
VARDEX_FACE(fonts_Z003_MediumItalic_t1)
#undef VARDEX_FACE

#define VARDEX_ROW(name, sym) {name, sym, &sym##_len}
const BaseFont basefonts[] = {
    VARDEX_ROW("Courier", fonts_NimbusMonoPS_Regular_t1),
    VARDEX_ROW("Courier-Bold", fonts_NimbusMonoPS_Bold_t1),
    VARDEX_ROW("Courier-Oblique", fonts_NimbusMonoPS_Italic_t1),
    VARDEX_ROW("Courier-BoldOblique", fonts_NimbusMonoPS_BoldItalic_t1),
    VARDEX_ROW("Helvetica", fonts_NimbusSans_Regular_t1),
    VARDEX_ROW("Helvetica-Bold", fonts_NimbusSans_Bold_t1),
    VARDEX_ROW("Helvetica-Oblique", fonts_NimbusSans_Italic_t1),
    VARDEX_ROW("Helvetica-BoldOblique", fonts_NimbusSans_BoldItalic_t1),
    VARDEX_ROW("Times-Roman", fonts_NimbusRoman_Regular_t1),
    VARDEX_ROW("Times-Bold", fonts_NimbusRoman_Bold_t1),
    VARDEX_ROW("Times-Italic", fonts_NimbusRoman_Italic_t1),
    VARDEX_ROW("Times-BoldItalic", fonts_NimbusRoman_BoldItalic_t1),
    VARDEX_ROW("Symbol", fonts_StandardSymbolsPS_t1),
    VARDEX_ROW("ZapfDingbats", fonts_D050000L_t1),
    VARDEX_ROW("Chancery", fonts_Z003_MediumItalic_t1),
    {nullptr, nullptr, nullptr},
};
#undef VARDEX_ROW

namespace {

const BaseFont* FindRow(PdfName* name)
{
    if (!name || name->Type() != PDF_NAME || !name->str || !name->str[0])
        return nullptr;
    for (const BaseFont* row = basefonts; row->name; row++)
        if (strcmp(row->name, name->str) == 0)
            return row;
    return nullptr;
}

}  // namespace

const unsigned char* GetStandardFontdata(PdfName* name, unsigned int* length)
{
    const BaseFont* row = FindRow(name);
    if (!row)
        return nullptr;
    if (length)
        *length = *row->length;
    return row->data;
}

bool IsStandardFont(PdfName* name)
{
    return FindRow(name) != nullptr;
}

const char Reg[] = "Regular";
const char Bold[] = "Bold";
const char Italic[] = "Italic";
const char BoldItalic[] = "Bold-Italic";

// Text in page markup: glyph runs of packaged fonts become Glyphs elements, glyph outlines of
// the other fonts a filled Path.
#include <cmath>
#include <string>

#include "Xps/XpsPage.h"

namespace {

bool Translucent(double alpha)
{
    return alpha >= 0 && alpha < 1;
}

// The matrix of a glyph run: Tm x CTM with the y axis turned over, since glyphs are drawn
// downwards in page markup and upwards in PDF text space. Where the CTM neither rotates nor
// skews, the terms that vanish are formed as in the product of the CTM with Tm whose c is
// negated, so that such pages write exactly that markup, down to the sign of a zero.
pdfmatrix GlyphRunMatrix(const GState* gs)
{
    const pdfmatrix& t = gs->tm;
    const pdfmatrix& m = gs->ctm;
    pdfmatrix r;
    r.a = t.a * m.a + t.b * m.c;
    r.b = t.a * m.b + t.b * m.d;
    r.c = m.c == 0.0 ? (-t.c) * m.a + t.d * m.c : 0.0 - (t.c * m.a + t.d * m.c);
    r.d = m.b == 0.0 ? -((-t.c) * m.b + t.d * m.d) : 0.0 - (t.c * m.b + t.d * m.d);
    r.e = t.e * m.a + t.f * m.c + m.e;
    r.f = t.e * m.b + t.f * m.d + m.f;
    return r;
}

// XML has no character reference for these.
bool ReferenceAllowed(double code)
{
    if (!(code >= 0) || code > 4294967295.0)
        return false;
    unsigned long c = (unsigned long)code;
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

}  // namespace

int XpsPage::ShowTextEx(GState* gs, char* text, char* fontFile, double fontSize, double* glyphs,
                        const unsigned int* glyphIndices)
{
    // A run without glyphs would be an empty Glyphs element, which readers reject.
    if (!Writing() || !gs || !fontFile || !glyphs || glyphs[0] == 0.0)
        return 0;
    if (!XpsFinite(fontSize) || fontSize == 0.0)
        return 0;
    pdfmatrix r = GlyphRunMatrix(gs);
    // The em size must be positive: a negative size turns the glyphs round through the matrix.
    if (fontSize < 0) {
        fontSize = -fontSize;
        r.a = 0.0 - r.a;
        r.b = 0.0 - r.b;
        r.c = 0.0 - r.c;
        r.d = 0.0 - r.d;
    }
    if (!XpsFinite(r))
        return 0;

    const XpsMatrix transform(r);
    Put("<Glyphs FontUri=\"/Resources/");
    Put(fontFile);
    Put("\"   FontRenderingEmSize=\"");
    PutNumber(fontSize);
    Put("\"  OriginX=\"0\"  OriginY=\"0\"  RenderTransform=\"");
    Put(transform.text, transform.length);
    Put("\" \n");
    if (Translucent(gs->fillAlpha)) {
        Put("Opacity=\"");
        PutNumber(gs->fillAlpha);
        Put("\" \n");
    }

    // Each glyph's entry is put together here and appended whole. Advances are written in
    // hundredths of the em.
    char entry[3 * XPS_NUMBER_CHARS];
    Put(" Indices=\"");
    for (int i = 0; glyphs[2 * i] != 0.0; i++) {
        size_t n = 0;
        if (i > 0)
            entry[n++] = ';';
        if (!text)
            n += FormatXpsNumber(glyphs[2 * i], entry + n);
        else if (glyphIndices && glyphIndices[i])
            // A glyph the font's character map would not find for the character.
            n += FormatXpsUnsigned(glyphIndices[i], entry + n);
        entry[n++] = ',';
        n += FormatXpsNumber(glyphs[2 * i + 1] / 10, entry + n);
        Put(entry, n);
    }
    Put("\"\n UnicodeString=\"");
    for (int i = 0; text && glyphs[2 * i] != 0.0; i++) {
        double code = glyphs[2 * i];
        size_t n = 0;
        if (i == 0 && code == '{') {
            // A leading brace would open a markup extension.
            entry[n++] = '{';
            entry[n++] = '}';
        }
        // A code that cannot stand as a character shows the replacement character.
        n += FormatXpsCharRef(ReferenceAllowed(code) ? (unsigned long)code : 0xFFFDul, entry + n);
        Put(entry, n);
    }
    Put("\" >\n");
    SetFill(gs, true);
    Put("</Glyphs>\n");
    return 0;
}

int XpsPage::FillText(GState* gs)
{
    std::string data;
    if (!Writing() || !gs || !XpsFinite(gs->tm) || !XpsPathData(gs->path, nullptr, &data))
        return 0;
    Out("<!-- Type1 txt -->\n<Path RenderTransform=\"%s\" \n", XpsMatrix(gs->tm).text);
    if (Translucent(gs->fillAlpha))
        Out("Opacity=\"%s\" \n", XpsNumber(gs->fillAlpha).text);
    Out("Data=\"F1");
    Out(data);
    Out("\" >");
    SetFill(gs, false);
    Out("</Path>\n");
    return 0;
}

// Nothing in the conversion calls this: a run of characters without advances.
int XpsPage::ShowText(GState* gs, char* text, char* font, double size)
{
    if (!Writing() || !gs || !text || !text[0] || !font || !XpsFinite(size) || !(size > 0))
        return 0;
    pdfmatrix r = GlyphRunMatrix(gs);
    if (!XpsFinite(r))
        return 0;
    std::string chars;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (!ReferenceAllowed(*p))
            continue;
        if (chars.empty() && *p == '{')
            chars += "{}";
        char ref[XPS_NUMBER_CHARS];
        chars.append(ref, FormatXpsCharRef(*p, ref));
    }
    if (chars.empty())
        return 0;
    Out("<Glyphs FontUri=\"/Resources/%s\"   FontRenderingEmSize=\"%s\"  OriginX=\"0\"  "
        "OriginY=\"0\"  RenderTransform=\"%s\" \n",
        font, XpsNumber(size).text, XpsMatrix(r).text);
    Out(" UnicodeString=\"");
    Out(chars);
    Out("\" >\n");
    SetFill(gs, true);
    Out("</Glyphs>\n");
    return 0;
}

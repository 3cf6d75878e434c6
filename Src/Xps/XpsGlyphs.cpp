// Text in page markup: glyph runs of packaged fonts become Glyphs elements; glyph outlines of
// the other fonts become PathGeometry resources of the page, each glyph a Path naming its
// outline (or, where only that draws the show right, one Path of all its outlines).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Interpreter/RenderPage.h"
#include "Pdf/Limits.h"
#include "Resources/ColorSpace.h"
#include "Xps/XpsPage.h"

namespace {

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

// The scale of a matrix that turns, mirrors and scales alike in every direction; false for
// any other (one that squeezes or skews, or is singular).
bool UniformScale(const pdfmatrix& m, double* scale)
{
    const double det = std::fabs(m.a * m.d - m.b * m.c);
    if (!(det > 0) || !std::isfinite(det))
        return false;
    const double s = std::sqrt(det);
    const double play = 1e-9 * s;
    const bool turns = std::fabs(m.a - m.d) <= play && std::fabs(m.b + m.c) <= play;
    const bool mirrors = std::fabs(m.a + m.d) <= play && std::fabs(m.b - m.c) <= play;
    *scale = s;
    return turns || mirrors;
}

const char kKeyNamespace[] = "http://schemas.microsoft.com/xps/2005/06/resourcedictionary-key";

}  // namespace

int XpsPage::GlyphKey(const OutlineGlyph& glyph)
{
    auto known = glyph.id ? glyphKeys.find(glyph.id) : glyphKeys.end();
    if (known != glyphKeys.end())
        return known->second;
    int key = -1;
    std::string figures;
    if (glyph.outline && XpsPathData(glyph.outline, nullptr, &figures)) {
        key = glyphsDefined++;
        // Outlines are filled by the non-zero rule, as PDF fills text.
        std::string entry = "<PathGeometry x:Key=\"" + keyPrefix + std::to_string(key) +
                            "\" FillRule=\"NonZero\" Figures=\"" + figures + "\"/>\n";
        glyphDictionary.Append(entry);
        markupBytes += entry.size();
    }
    if (glyph.id)
        glyphKeys.emplace(glyph.id, key);
    return key;
}

bool XpsPage::WritePageResources()
{
    if (glyphDictionary.Empty())
        return !glyphDictionary.Failed();
    const std::string open =
        std::string("<FixedPage.Resources>\n<ResourceDictionary xmlns:x=\"") + kKeyNamespace + "\">\n";
    const std::string close = "</ResourceDictionary>\n</FixedPage.Resources>\n";
    fwrite(open.data(), 1, open.size(), out);
    bool ok = glyphDictionary.CopyTo(out);
    fwrite(close.data(), 1, close.size(), out);
    return ok;
}

bool XpsPage::PaintGlyphs(GState* gs, const pdfmatrix& glyphSpace, const OutlineGlyph* glyphs,
                          int count, bool fill, bool stroke)
{
    if (!gs || !glyphs || count <= 0)
        return false;
    if (fill && (gs->fillCS == CS_PATTERN || Translucent(gs->fillAlpha)))
        return false;
    // A Path's matrix scales its stroke with it: the glyph-space width that strokes as wide
    // as the PDF's line exists only where the glyph matrix scales alike in every direction.
    // A width of 0 (the thinnest line) stays the user-space path's.
    double scale = 1.0;
    const double width = std::fabs(gs->lineWidth);
    if (stroke && (gs->strokeCS == CS_PATTERN || Translucent(gs->strokeAlpha) ||
                   !XpsFinite(width) || !(width > 0) || !UniformScale(glyphSpace, &scale)))
        return false;
    pdfmatrix place;
    ConcatMatrix(&gs->ctm, const_cast<pdfmatrix*>(&glyphSpace), &place);
    if (!XpsFinite(place))
        return false;
    if (!Writing())
        return true;

    // Without a colour a side paints nothing, as a Path without its brush.
    const std::string fillColour = fill ? XpsSolidColour(gs, false, luminosity) : "";
    const std::string strokeColour = stroke ? XpsSolidColour(gs, true, luminosity) : "";
    if (fillColour.empty() && strokeColour.empty())
        return true;
    std::vector<int> keys((size_t)count);
    int drawn = 0;
    for (int i = 0; i < count; i++)
        drawn += (keys[i] = GlyphKey(glyphs[i])) >= 0;

    // Several glyphs share a canvas placing glyph space, and each is moved along the line;
    // a glyph alone carries the whole matrix (and is left out where that is not finite).
    const bool canvas = drawn > 1 && contentDepth + 1 <= PAGE_MAX_MARKUP_DEPTH;
    std::vector<pdfmatrix> alone(canvas ? 0 : (size_t)count);
    for (size_t i = 0; i < alone.size(); i++) {
        pdfmatrix along = {1, 0, 0, 1, glyphs[i].pen, 0};
        ConcatMatrix(&place, &along, &alone[i]);
        if (!XpsFinite(alone[i]))
            keys[i] = -1;
    }
    // The Path element of glyph i up to its paint, appended to `text`.
    auto head = [&](int i, std::string* text) {
        char key[XPS_NUMBER_CHARS];
        text->append("<Path Data=\"{StaticResource ")
            .append(keyPrefix)
            .append(key, FormatXpsUnsigned((unsigned)keys[i], key))
            .append("}\"");
        if (!canvas) {
            text->append(" RenderTransform=\"").append(XpsMatrix(alone[i]).text).append("\"");
        } else if (glyphs[i].pen != 0) {
            text->append(" RenderTransform=\"1,0,0,1,")
                .append(XpsNumber(glyphs[i].pen).text)
                .append(",0\"");
        }
    };
    if (canvas)
        Out(std::string("<Canvas RenderTransform=\"") + XpsMatrix(place).text + "\">\n");
    // Every fill before every stroke, as one path of all the outlines paints them.
    if (!fillColour.empty()) {
        const std::string paint = " Fill=\"" + fillColour + "\"/>\n";
        std::string text;
        for (int i = 0; i < count; i++) {
            if (keys[i] >= 0) {
                head(i, &text);
                text += paint;
            }
        }
        Out(text);
    }
    if (!strokeColour.empty()) {
        const std::string tail = std::string("StrokeThickness=\"") + XpsNumber(width / scale).text +
                                 "\" Stroke=\"" + strokeColour + "\"/>\n";
        for (int i = 0; i < count; i++) {
            if (keys[i] < 0)
                continue;
            std::string text;
            head(i, &text);
            Out(text + " \n");
            StrokeAttributes(gs, true);
            Out(tail);
        }
    }
    if (canvas)
        Out("</Canvas>\n");
    return true;
}

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

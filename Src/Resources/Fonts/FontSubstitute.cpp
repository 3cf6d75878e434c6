#include "Resources/Fonts/FontSubstitute.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

enum Family { SANS, SERIF, MONO, SYMBOL, DINGBATS };

bool Has(const std::string& name, const char* part)
{
    return name.find(part) != std::string::npos;
}

bool HasAny(const std::string& name, const char* const* parts)
{
    for (; *parts; parts++)
        if (Has(name, *parts))
            return true;
    return false;
}

// Lower case, without a subset prefix ("ABCDEF+") and with "," and "-" style separators kept.
std::string Plain(const char* baseFont)
{
    std::string s = baseFont ? baseFont : "";
    if (s.size() > 7 && s[6] == '+') {
        bool prefix = true;
        for (int i = 0; i < 6; i++)
            prefix = prefix && s[i] >= 'A' && s[i] <= 'Z';
        if (prefix)
            s.erase(0, 7);
    }
    for (char& c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

Family FamilyOf(const std::string& name, int flags)
{
    static const char* const kDingbats[] = {"dingbat", nullptr};
    static const char* const kSymbol[] = {"symbol", nullptr};
    static const char* const kMono[] = {"courier", "mono", "consol", "typewriter", "fixed",
                                        "lucidaconsole", "andale", nullptr};
    // Sans names are looked for before serif ones: "sans" would otherwise read as a serif
    // face of the same family.
    static const char* const kSans[] = {"arial", "helvetica", "verdana", "tahoma", "sans",
                                        "calibri", "gothic", "grotesk", "frutiger", "univers",
                                        "futura", "segoe", "trebuchet", "lucida", "geneva",
                                        "myriad", "gill", "optima", "avant", "candara", nullptr};
    static const char* const kSerif[] = {"times", "roman", "serif", "georgia", "garamond",
                                         "book", "cambria", "palatino", "century", "bodoni",
                                         "minion", "baskerville", "cochin", "caslon", "schoolbook",
                                         "constantia", "cmr", "utopia", "charter", nullptr};
    if (HasAny(name, kDingbats))
        return DINGBATS;
    if (HasAny(name, kSymbol))
        return SYMBOL;
    if (HasAny(name, kMono))
        return MONO;
    if (HasAny(name, kSans))
        return SANS;
    if (HasAny(name, kSerif))
        return SERIF;
    if (flags & FONT_FLAG_FIXED_PITCH)
        return MONO;
    if (flags & FONT_FLAG_SERIF)
        return SERIF;
    return SANS;
}

}  // namespace

const char* SubstituteFontName(const char* baseFont, const FontLooks& looks)
{
    const std::string name = Plain(baseFont);
    const Family family = FamilyOf(name, looks.flags);
    if (family == SYMBOL)
        return "Symbol";
    if (family == DINGBATS)
        return "ZapfDingbats";

    static const char* const kBold[] = {"bold", "black", "heavy", "demi", "semibold", nullptr};
    static const char* const kItalic[] = {"italic", "oblique", "slanted", "kursiv", nullptr};
    const bool bold = HasAny(name, kBold) || (looks.flags & FONT_FLAG_FORCE_BOLD) ||
                      looks.weight >= 600;
    const bool italic = HasAny(name, kItalic) || (looks.flags & FONT_FLAG_ITALIC) ||
                        looks.italicAngle != 0;
    const int style = (bold ? 1 : 0) + (italic ? 2 : 0);

    static const char* const kFaces[3][4] = {
        {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique"},
        {"Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic"},
        {"Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique"}};
    return kFaces[family == SANS ? 0 : family == SERIF ? 1 : 2][style];
}

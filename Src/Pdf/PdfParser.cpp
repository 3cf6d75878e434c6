#include "Pdf/PdfParser.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"

static bool IsWhite(int c)
{
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

static bool IsDelimiter(int c)
{
    return c < 0 || IsWhite(c) || c == '(' || c == ')' || c == '<' || c == '>' || c == '[' ||
           c == ']' || c == '{' || c == '}' || c == '/' || c == '%';
}

static int HexValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void lexname(FILE* fp, char* buf, int size)
{
    if (!buf || size <= 0)
        return;
    int n = 0;
    while (n < size - 1) {
        int c = pdfpeekbyte(fp);
        if (IsDelimiter(c))
            break;
        buf[n++] = (char)pdfreadbyte(fp);
    }
    buf[n] = 0;

    // '#' and two hexadecimal digits stand for one byte; any other digit counts as 0.
    int w = 0;
    for (int r = 0; r < n; r++) {
        if (buf[r] == '#' && r + 2 < n) {
            int hi = HexValue((unsigned char)buf[r + 1]);
            int lo = HexValue((unsigned char)buf[r + 2]);
            buf[w++] = (char)(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo));
            r += 2;
        } else {
            buf[w++] = buf[r];
        }
    }
    buf[w] = 0;
}

int lexint(const char* text)
{
    if (!text)
        return 0;
    errno = 0;
    long v = strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return (int)v;
}

double lexreal(const char* text)
{
    if (!text)
        return 0.0;
    double v = strtod(text, nullptr);
    if (std::isnan(v))
        return 0.0;
    if (std::isinf(v))
        return v > 0 ? 3.4e38 : -3.4e38;
    return v;
}

static int LiteralString(FILE* fp, char* buf, int size)
{
    int n = 0;
    int depth = 1;
    while (n < size) {
        int c = pdfreadbyte(fp);
        if (c == '(') {
            depth++;
        } else if (c == ')') {
            if (--depth == 0)
                break;
        } else if (c == '\\') {
            c = pdfreadbyte(fp);
            switch (c) {
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            case 't': c = '\t'; break;
            case 'b': c = 8; break;
            case 'f': c = 12; break;
            case '\n':
                continue;
            case '\r':
                if (pdfpeekbyte(fp) == '\n')
                    pdfreadbyte(fp);
                continue;
            default:
                if (c >= '0' && c <= '7') {
                    int v = c - '0';
                    for (int k = 1; k < 3; k++) {
                        int d = pdfpeekbyte(fp);
                        if (d < '0' || d > '7')
                            break;
                        pdfreadbyte(fp);
                        v = v * 8 + (d - '0');
                    }
                    c = v & 0xff;
                }
                break;
            }
        }
        // A failed read at end of file lands here as -1 and is stored as 255.
        buf[n++] = (char)c;
    }
    return n;
}

static int HexString(FILE* fp, char* buf, int size)
{
    int n = 0;
    int high = -1;
    while (n < size) {
        int c = pdfreadbyte(fp);
        if (c < 0 || c == '>')
            break;
        if (IsWhite(c))
            continue;
        int v = HexValue(c);
        if (v < 0)
            break;
        if (high < 0) {
            high = v;
        } else {
            buf[n++] = (char)((high << 4) | v);
            high = -1;
        }
    }
    if (high >= 0 && n < size)
        buf[n++] = (char)(high << 4);
    return n;
}

int PdfLexicon(FILE* fp, char* buf, int size, int* len)
{
    // Every token needs room for one byte and the terminator.
    if (!buf || size < 2)
        return TOK_ERROR;
    int c;
    for (;;) {
        c = pdfpeekbyte(fp);
        if (c < 0)
            return TOK_EOF;
        if (IsWhite(c)) {
            pdfreadbyte(fp);
            continue;
        }
        if (c == '%') {
            while ((c = pdfreadbyte(fp)) >= 0 && c != '\n' && c != '\r') {
            }
            continue;
        }
        break;
    }

    int n;
    switch (c) {
    case '/':
        pdfreadbyte(fp);
        lexname(fp, buf, size);
        if (len)
            *len = (int)strlen(buf);
        return TOK_NAME;
    case '(':
        pdfreadbyte(fp);
        n = LiteralString(fp, buf, size);
        if (len)
            *len = n;
        return TOK_STRING;
    case '<':
        pdfreadbyte(fp);
        if (pdfpeekbyte(fp) == '<') {
            pdfreadbyte(fp);
            return TOK_DICT_OPEN;
        }
        n = HexString(fp, buf, size);
        if (len)
            *len = n;
        return TOK_STRING;
    case '>':
        pdfreadbyte(fp);
        return pdfreadbyte(fp) == '>' ? TOK_DICT_CLOSE : TOK_ERROR;
    case '[':
        pdfreadbyte(fp);
        return TOK_ARRAY_OPEN;
    case ']':
        pdfreadbyte(fp);
        return TOK_ARRAY_CLOSE;
    case '{':
        pdfreadbyte(fp);
        return TOK_BRACE_OPEN;
    case '}':
        pdfreadbyte(fp);
        return TOK_BRACE_CLOSE;
    case ')':
        return TOK_ERROR;
    default:
        break;
    }

    if (c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9')) {
        bool real = false;
        n = 0;
        while (n < size - 1) {
            c = pdfpeekbyte(fp);
            if (!(c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9')))
                break;
            if (c == '.')
                real = true;
            buf[n++] = (char)pdfreadbyte(fp);
        }
        buf[n] = 0;
        if (len)
            *len = n;
        return real ? TOK_REAL : TOK_INTEGER;
    }

    lexname(fp, buf, size);
    if (len)
        *len = (int)strlen(buf);
    static const char* const keywords[] = {"R", "true", "false", "null", "obj", "endobj",
                                           "stream", "endstream", "xref", "trailer", "startxref"};
    for (int k = 0; k < (int)(sizeof keywords / sizeof keywords[0]); k++)
        if (strcmp(buf, keywords[k]) == 0)
            return TOK_R + k;
    return TOK_KEYWORD;
}

// A name, real, string, boolean or null token as an object; null for any other kind.
static PdfObj* SimpleObject(int kind, const char* buf, int len)
{
    switch (kind) {
    case TOK_NAME: {
        PdfName* n = new PdfName;
        n->str = strdup(buf);
        return n;
    }
    case TOK_REAL: {
        PdfReal* r = new PdfReal;
        r->value = lexreal(buf);
        return r;
    }
    case TOK_STRING: {
        PdfString* s = new PdfString;
        s->str = (char*)malloc((size_t)len + 1);
        if (s->str) {
            memcpy(s->str, buf, (size_t)len);
            s->str[len] = 0;
            s->len = len;
        }
        return s;
    }
    case TOK_TRUE:
    case TOK_FALSE: {
        PdfBool* b = new PdfBool;
        b->value = kind == TOK_TRUE ? 1 : 0;
        return b;
    }
    case TOK_NULL:
        return new PdfNull;
    default:
        return nullptr;
    }
}

static PdfNumber* NewNumber(int value)
{
    PdfNumber* n = new PdfNumber;
    n->value = value;
    return n;
}

static PdfIndirect* NewRef(int num, int gen)
{
    PdfIndirect* r = new PdfIndirect;
    r->refNum = num;
    r->refGen = gen;
    return r;
}

static void ParseArray(PdfObj** out, FILE* fp, char* buf, int size, int depth);
static void ParseDict(PdfObj** out, FILE* fp, char* buf, int size, int depth);

// A container opened at "[" or "<<". Beyond the nesting cap it is returned empty and
// nothing more is read for it: a file of endless brackets cannot exhaust the stack.
static PdfObj* NestedContainer(int kind, FILE* fp, char* buf, int size, int depth)
{
    PdfObj* inner = nullptr;
    if (depth >= PDF_MAX_NESTING) {
        if (kind == TOK_ARRAY_OPEN) {
            PdfArray* a = new PdfArray;
            a->growStep = 4;
            inner = a;
        } else {
            PdfDict* d = new PdfDict;
            d->growStep = 8;
            inner = d;
        }
    } else if (kind == TOK_ARRAY_OPEN) {
        ParseArray(&inner, fp, buf, size, depth + 1);
    } else {
        ParseDict(&inner, fp, buf, size, depth + 1);
    }
    return inner;
}

static void AppendOrDrop(PdfArray* a, PdfObj* item)
{
    if (a->Append(item) != 0)
        delete item;
}

static void ParseArray(PdfObj** out, FILE* fp, char* buf, int size, int depth)
{
    PdfArray* a = new PdfArray;
    a->growStep = 4;
    *out = a;

    // Two integers followed by "R" form a reference, so integers wait until the next token.
    int held[2];
    int nheld = 0;
    for (;;) {
        int len = 0;
        int kind = PdfLexicon(fp, buf, size, &len);
        if (kind == TOK_INTEGER) {
            int v = lexint(buf);
            if (nheld == 2) {
                AppendOrDrop(a, NewNumber(held[0]));
                held[0] = held[1];
                held[1] = v;
            } else {
                held[nheld++] = v;
            }
            continue;
        }
        if (kind == TOK_R) {
            if (nheld != 2)
                return;
            AppendOrDrop(a, NewRef(held[0], held[1]));
            nheld = 0;
            continue;
        }
        for (int i = 0; i < nheld; i++)
            AppendOrDrop(a, NewNumber(held[i]));
        nheld = 0;

        if (kind == TOK_ARRAY_OPEN || kind == TOK_DICT_OPEN) {
            AppendOrDrop(a, NestedContainer(kind, fp, buf, size, depth));
            continue;
        }
        PdfObj* item = SimpleObject(kind, buf, len);
        if (!item)
            return;
        AppendOrDrop(a, item);
    }
}

// Moves the file past the next "endstream" (or to its end).
static void SkipStreamData(FILE* fp)
{
    static const char kEnd[] = "endstream";
    const int n = (int)sizeof kEnd - 1;
    char window[sizeof kEnd - 1] = {0};
    for (long seen = 0;; seen++) {
        int c = pdfreadbyte(fp);
        if (c < 0)
            return;
        memmove(window, window + 1, (size_t)n - 1);
        window[n - 1] = (char)c;
        if (seen + 1 >= n && memcmp(window, kEnd, (size_t)n) == 0)
            return;
    }
}

static void ParseDict(PdfObj** out, FILE* fp, char* buf, int size, int depth)
{
    PdfDict* d = new PdfDict;
    d->growStep = 8;
    *out = d;

    int len = 0;
    int kind = PdfLexicon(fp, buf, size, &len);
    for (;;) {
        // Some writers put a stream's data inside a dictionary, after the stream's own
        // dictionary (annotation appearances, say). The data is passed over so that the
        // entries after it, a page's Contents among them, are not lost.
        if (kind == TOK_STREAM) {
            SkipStreamData(fp);
            kind = PdfLexicon(fp, buf, size, &len);
            continue;
        }
        // Anything but a key ends the dictionary; an inline image's ends at "ID" this way.
        if (kind != TOK_NAME)
            return;
        PdfName* key = new PdfName;
        key->str = strdup(buf);

        kind = PdfLexicon(fp, buf, size, &len);
        PdfObj* value = nullptr;
        bool last = false;
        int next = -1;  // a token already read that the next round starts with
        if (kind == TOK_ARRAY_OPEN || kind == TOK_DICT_OPEN) {
            value = NestedContainer(kind, fp, buf, size, depth);
        } else if (kind == TOK_INTEGER) {
            int num = lexint(buf);
            int look = PdfLexicon(fp, buf, size, &len);
            if (look == TOK_NAME) {
                value = NewNumber(num);
                next = TOK_NAME;
            } else if (look == TOK_DICT_CLOSE || (look == TOK_KEYWORD && strcmp(buf, "ID") == 0)) {
                value = NewNumber(num);
                last = true;
            } else if (look == TOK_INTEGER) {
                int gen = lexint(buf);
                if (PdfLexicon(fp, buf, size, &len) == TOK_R)
                    value = NewRef(num, gen);
            }
        } else {
            value = SimpleObject(kind, buf, len);
        }
        if (!value) {
            delete key;
            return;
        }
        d->PutOwned(key, value);
        if (last)
            return;
        kind = next >= 0 ? next : PdfLexicon(fp, buf, size, &len);
    }
}

int PdfParseArray(PdfObj** out, FILE* fp, char* buf, int size)
{
    if (!out)
        return 0;
    ParseArray(out, fp, buf, size, 1);
    return 0;
}

int PdfParseDict(PdfObj** out, FILE* fp, char* buf, int size)
{
    if (!out)
        return 0;
    ParseDict(out, fp, buf, size, 1);
    return 0;
}

// White space from `fp` on, at most `limit` bytes of it; false when more follows.
static bool SkipSpace(FILE* fp, int limit)
{
    for (int n = 0; IsWhite(pdfpeekbyte(fp)); n++) {
        if (n == limit)
            return false;
        pdfreadbyte(fp);
    }
    return true;
}

// The digits of an object or generation number; false when there are none or too many.
static bool SkipNumber(FILE* fp)
{
    int n = 0;
    while (pdfpeekbyte(fp) >= '0' && pdfpeekbyte(fp) <= '9') {
        if (++n > PDF_OBJ_HEADER_DIGITS)
            return false;
        pdfreadbyte(fp);
    }
    return n > 0;
}

// "N G obj" at the current position, after at most PDF_OBJ_HEADER_SPACE bytes of white space
// before and between its parts: an entry whose offset leads anywhere else (into a run of
// blanks, say) names no object.
static bool ReadObjectHeader(FILE* fp)
{
    if (!SkipSpace(fp, PDF_OBJ_HEADER_SPACE) || !SkipNumber(fp) || !IsWhite(pdfpeekbyte(fp)) ||
        !SkipSpace(fp, PDF_OBJ_HEADER_SPACE) || !SkipNumber(fp) || !IsWhite(pdfpeekbyte(fp)) ||
        !SkipSpace(fp, PDF_OBJ_HEADER_SPACE))
        return false;
    for (const char* k = "obj"; *k; k++)
        if (pdfreadbyte(fp) != *k)
            return false;
    return IsDelimiter(pdfpeekbyte(fp));
}

PdfObj* ReadIndirectObject(PdfXref* xref, int objNum, int* dataOffset)
{
    *dataOffset = 0;
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    if (!e || e->type != 'n')
        return nullptr;
    FILE* fp = xref->fp;
    if (pdfseek(fp, e->offset, SEEK_SET) != 0 || !ReadObjectHeader(fp))
        return nullptr;

    char buf[PDF_PARSE_BUF];
    const int size = (int)sizeof buf;
    int len = 0;
    PdfObj* value = nullptr;
    int after = -1;  // the token after the value, when reading the value needed it
    bool numbered = true;
    int kind = PdfLexicon(fp, buf, size, &len);
    if (kind == TOK_ARRAY_OPEN) {
        ParseArray(&value, fp, buf, size, 1);
    } else if (kind == TOK_DICT_OPEN) {
        ParseDict(&value, fp, buf, size, 1);
    } else if (kind == TOK_INTEGER) {
        int num = lexint(buf);
        int look = PdfLexicon(fp, buf, size, &len);
        if (look == TOK_ENDOBJ || look == TOK_STREAM) {
            value = NewNumber(num);
            after = look;
        } else if (look == TOK_INTEGER) {
            int g = lexint(buf);
            if (PdfLexicon(fp, buf, size, &len) == TOK_R)
                value = NewRef(num, g);
        }
        numbered = false;
    } else {
        value = SimpleObject(kind, buf, len);
    }
    if (!value)
        return nullptr;

    if (after < 0)
        after = PdfLexicon(fp, buf, size, &len);
    if (after == TOK_STREAM) {
        if (pdfreadbyte(fp) == '\r' && pdfpeekbyte(fp) == '\n')
            pdfreadbyte(fp);
        *dataOffset = pdftell(fp);
    }
    if (numbered)
        value->objNum = objNum;
    return value;
}

int ParseIndirectObject(PdfObj** out, PdfXref* xref, int objNum, int gen, char* buf, int size)
{
    (void)gen;  // the header's generation is not compared
    (void)buf;  // objects are read once, with the document's own token size
    (void)size;
    if (!out || !xref)
        return 0;
    PdfObj* shared = xref->Object(objNum);
    if (!shared)
        return 0;
    PdfObj* copy = shared->Dup();
    if (!copy)
        return 0;
    copy->objNum = shared->objNum;
    *out = copy;
    return 0;
}

// The tokenizer and the object parser over arbitrary bytes: every token of the input, with
// the containers parsed whole and copied, at the buffer size the system uses and at a tiny
// one that cuts every long token.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FuzzUtil.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"

namespace {

void Tokens(const uint8_t* data, size_t size, int bufSize)
{
    fuzz::MemoryStream in(data, size);
    if (!in.fp())
        return;
    // On the heap at its exact size, so a write one past the end is caught.
    std::vector<char> buf(bufSize);
    // Every token reads at least one byte, so the loop ends with the input; one that reads
    // none would spin a caller for ever, and is reported. A stray ')' or '>' is the one error
    // left in the stream: a caller that goes on skips it.
    for (;;) {
        long before = ftell(in.fp());
        int len = 0;
        int kind = PdfLexicon(in.fp(), buf.data(), bufSize, &len);
        if (kind == TOK_EOF)
            break;
        if (kind == TOK_ERROR && ftell(in.fp()) == before)
            fgetc(in.fp());
        if (ftell(in.fp()) == before) {
            fprintf(stderr, "token %d at offset %ld read no byte\n", kind, before);
            abort();
        }
        PdfObj* obj = nullptr;
        if (kind == TOK_DICT_OPEN)
            PdfParseDict(&obj, in.fp(), buf.data(), bufSize);
        else if (kind == TOK_ARRAY_OPEN)
            PdfParseArray(&obj, in.fp(), buf.data(), bufSize);
        else if (kind == TOK_INTEGER)
            (void)lexint(buf.data());
        else if (kind == TOK_REAL)
            (void)lexreal(buf.data());
        if (obj) {
            PdfObj* copy = obj->Dup();
            delete copy;
            delete obj;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Tokens(data, size, PDF_PARSE_BUF);
    Tokens(data, size, 8);
    return 0;
}

// The tokenizer and the object parser over arbitrary bytes: every token of the input, with
// the containers parsed whole and copied, at the buffer size the system uses and at a tiny
// one that cuts every long token.
#include <cstdint>
#include <vector>

#include "FuzzUtil.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"

namespace {

// Enough for any input the fuzzer makes; a loop that stops making progress ends here.
const int kMaxTokens = 200000;

void Tokens(const uint8_t* data, size_t size, int bufSize)
{
    fuzz::MemoryStream in(data, size);
    if (!in.fp())
        return;
    // On the heap at its exact size, so a write one past the end is caught.
    std::vector<char> buf(bufSize);
    for (int i = 0; i < kMaxTokens; i++) {
        int len = 0;
        int kind = PdfLexicon(in.fp(), buf.data(), bufSize, &len);
        if (kind == TOK_EOF)
            break;
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

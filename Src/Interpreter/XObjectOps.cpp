// Content from outside the stream: image and form XObjects (Do), inline images (BI ... ID
// ... EI), shadings (sh) and the soft masks the renderer asks for while it draws an image.
// Every file drawn is recorded for the page, once, and only when it exists.
#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Interpreter/Patterns.h"
#include "Interpreter/ResourceUse.h"
#include "Pdf/FileAccess.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

namespace {

// Token buffer of the objects parsed here (forms, graphics-state chains).
enum { XOBJECT_TOKEN_BUF = 2080 };

char kFormComment[] = "<!-- Form -->\n";

bool IsName(PdfObj* obj)
{
    return obj && obj->Type() == PDF_NAME && static_cast<PdfName*>(obj)->str;
}

// The record of an extracted image or soft mask, with its file name without folder; null
// when the object has none (never extracted, extraction failed, or another kind of record).
ImageInfo* ExtractedImage(PdfXref* xref, int objNum, char* fileName)
{
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    if (!e || !e->path)
        return nullptr;
    ImageInfo* info = RecordAs<ImageInfo>(e->resData);
    if (info)
        GetFileNameFromPath(e->path, fileName, false);
    return info;
}

// A form whose Group is a transparency group: what the form paints is composited as one
// picture before it reaches the page.
bool TransparencyGroup(PdfXref* xref, PdfObj* form)
{
    char buf[XOBJECT_TOKEN_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* group = ResolveResource(xref, ResourceValue(form, "Group"), buf, sizeof buf, &parsed);
    PdfObj* kind = group && group->Type() == PDF_DICT ? ResourceValue(group, "S") : nullptr;
    bool transparency = IsName(kind) && strcmp(static_cast<PdfName*>(kind)->str, "Transparency") == 0;
    delete parsed;
    return transparency;
}

}  // namespace

// The form's content lies in form space: its Matrix places that space in the user space of
// the Do, and its BBox, there, clips everything the form draws. A transparency group takes
// the fill alpha of the Do as one opacity for all it paints, and its content starts opaque;
// where no canvas can hold that opacity the content keeps the Do's alphas instead.
void ContentParser::DrawForm(int objNum, PdfObj* form, GState* base, bool group)
{
    if (!base || !NestedRunAllowed(objNum))
        return;
    // A form without resources of its own draws with those of the stream that runs it.
    PdfObj* formResources = ResourceValue(form, "Resources");
    if (!formResources)
        formResources = resources;
    GState state(base);
    pdfmatrix m;
    ReadDictMatrix(pages, form, &m);
    ::ConcatMatrix(&base->ctm, &m, &state.ctm);

    double box[4];
    const bool clipped = ReadDictBox(pages, form, box);
    bool canvas = false;
    if (group) {
        const bool opaque = base->fillAlpha == 1.0;
        canvas = !opaque && renderer && renderer->StartCanvas(nullptr, base->fillAlpha) == 0;
        if (opaque || canvas)
            state.fillAlpha = state.strokeAlpha = 1.0;
    }
    ProcessPatternStream(objNum, formResources, &state, clipped ? box : nullptr);
    if (canvas)
        renderer->EndCanvas();
}

int ContentParser::ExecuteXObject(PdfObj** ops)
{
    if (renderer)
        renderer->OutComment(kFormComment);
    if (!pages || operandCount < 1 || !IsName(ops[0]))
        return 0;
    int objNum = 0;
    XObjectType type = XOBJECT_IMAGE;
    if (pages->FindXObject(ops[0], &objNum, &type, resources) != 0)
        return 0;

    if (type == XOBJECT_FORM) {
        // The form's dictionary stays the document's: a form drawn many times is read once.
        PdfObj* form = xref ? xref->Object(objNum) : nullptr;
        if (!form || form->Type() != PDF_DICT)
            return 0;
        // A group is masked as one picture; any other form shows each thing it paints
        // through the mask on its own.
        const bool group = TransparencyGroup(xref, form);
        int mask = 0;
        const bool masked = group && OpenMaskedCanvas(&mask);
        DrawForm(objNum, form, current, group);
        CloseMaskedCanvas(masked, mask);
        return 0;
    }

    pages->ExtractSingleImage(objNum);
    char fileName[PDF_MAX_PATH];
    ImageInfo* info = ExtractedImage(xref, objNum, fileName);
    if (!info)
        return 0;
    if (renderer) {
        int mask = 0;
        const bool masked = OpenMaskedCanvas(&mask);
        // An image mask paints the fill colour through its file; any other image is a picture.
        if (info->stencil)
            renderer->ShowImageMask(current, info, fileName);
        else
            renderer->ShowImage(current, info, fileName);
        CloseMaskedCanvas(masked, mask);
    }
    AddResource(&pages->resources, pageIndex, objNum);
    return 0;
}

int ContentParser::ImageData(PdfObj**)
{
    if (!pages || !stream)
        return 0;
    PdfArray keyValues;
    for (int i = 0; i < operandCount && i < CP_MAX_OPERANDS; i++) {
        PdfObj* copy = operands[i] ? operands[i]->Dup() : nullptr;
        if (copy && keyValues.Append(copy) != 0)
            delete copy;
    }

    // Pages are named by their own object number and nested streams by theirs, so no two
    // contents share a name; the count starts again in every parser.
    int contentNum = 0;
    if (owner && owner->Type() == PDF_INDIRECT)
        contentNum = static_cast<PdfIndirect*>(owner)->refNum;
    else if (owner)
        contentNum = owner->objNum;
    inlineImageCount++;
    char path[PDF_MAX_PATH];
    int n = snprintf(path, sizeof path, "%s%s%03d_%d.png", pages->tmpDir, "IMG_IL_", contentNum,
                     inlineImageCount);
    bool fits = n > 0 && n < (int)sizeof path;

    ImageInfo info;
    int rc = -1;
    if (!fits || inlineImageCount > CP_MAX_INLINE_IMAGES)
        pages->ExtractInlineImage(&keyValues, stream, &info, nullptr);  // passed over only
    else if (CheckInlineResource(&pages->inlineResources, path))
        rc = pages->ExtractInlineImage(&keyValues, stream, &info, nullptr);
    else
        rc = pages->ExtractInlineImage(&keyValues, stream, &info, path);

    // Drawing may run a nested stream from the same file; scanning resumes after the data.
    int resume = pdftell(stream);
    if (rc == 0) {
        char fileName[PDF_MAX_PATH];
        GetFileNameFromPath(path, fileName, false);
        if (renderer) {
            // A 1-bit image paints the fill colour through its bits; any other is a picture.
            if (info.bitsPerComponent == 1)
                renderer->ShowImageMask(current, &info, fileName);
            else
                renderer->ShowImage(current, &info, fileName);
        }
        AddInlineResource(&pages->inlineResources, pageIndex, path);
    }
    if (resume >= 0)
        pdfseek(stream, resume, SEEK_SET);
    return 0;
}

int ContentParser::FillShade(PdfObj** ops)
{
    if (renderer && operandCount >= 1 && IsName(ops[0]))
        renderer->FillShade(current, static_cast<PdfName*>(ops[0]));
    return 0;
}

int ContentParser::ProcessSMask(int objNum)
{
    char fileName[PDF_MAX_PATH];
    ImageInfo* mask = ExtractedImage(xref, objNum, fileName);
    if (!mask) {
        // The soft mask of the graphics state: its form, from the state a page starts with,
        // placed by the CTM of the gs that set it.
        PdfObj* form = xref ? xref->Object(objNum) : nullptr;
        PdfObj* kind = form && form->Type() == PDF_DICT ? ResourceValue(form, "Subtype") : nullptr;
        if (current && objNum == maskOpening && IsName(kind) &&
            strcmp(static_cast<PdfName*>(kind)->str, "Form") == 0) {
            GState base;
            base.ctm = current->softMaskCtm;
            DrawForm(objNum, form, &base, TransparencyGroup(xref, form));
        }
        return 0;
    }
    if (renderer)
        renderer->SetSMask(current, mask, fileName);
    if (pages)
        AddResource(&pages->resources, pageIndex, objNum);
    return 0;
}

int ContentParser::GetSmask(PdfObj* res)
{
    static const char* const chain[] = {"ExtGState", "SMask", "G"};
    char buf[XOBJECT_TOKEN_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* at = ResolveResource(xref, res, buf, sizeof buf, &parsed);
    int objNum = 0;
    for (int i = 0; at && i < 3; i++) {
        PdfObj* value = ResourceValue(at, chain[i]);
        if (i == 2) {
            if (value && value->Type() == PDF_INDIRECT)
                objNum = static_cast<PdfIndirect*>(value)->refNum;
            break;
        }
        PdfObj* next = nullptr;
        at = ResolveResource(xref, value, buf, sizeof buf, &next);
        if (next) {
            // Each level's tree is kept until the chain is done with it.
            delete parsed;
            parsed = next;
        }
    }
    delete parsed;
    return objNum;
}

#include "Interpreter/RenderPage.h"

int RenderPage::StartPage(int, double, double) { return 0; }
int RenderPage::EndPage() { return 0; }
int RenderPage::StartCanvas(_matrix*, double) { return 0; }
void RenderPage::EndCanvas() {}
int RenderPage::ShowText(GState*, char*, char*, double) { return 0; }
int RenderPage::ShowTextEx(GState*, char*, char*, double, double*, const unsigned int*)
{
    return 0;
}
int RenderPage::ShowImage(GState*, ImageInfo*, char*) { return 0; }
int RenderPage::ShowImageMask(GState*, ImageInfo*, char*) { return 0; }
int RenderPage::SetSMask(GState*, ImageInfo*, char*) { return 0; }
int RenderPage::Stroke(GState*) { return 0; }
int RenderPage::Fill(GState*, FillRule) { return 0; }
int RenderPage::FillStroke(GState*, FillRule) { return 0; }
int RenderPage::FillShade(GState*, PdfName*) { return 0; }
int RenderPage::Clip(GState*, FillRule) { return 0; }
int RenderPage::EndClip() { return 0; }
int RenderPage::OutComment(char*) { return 0; }
int RenderPage::FillText(GState*) { return 0; }
RenderPage::~RenderPage() {}
bool RenderPage::Full() { return false; }
bool RenderPage::PaintGlyphs(GState*, const pdfmatrix&, const OutlineGlyph*, int, bool, bool)
{
    return false;
}
int RenderPage::StartMaskedCanvas(GState*) { return 0; }

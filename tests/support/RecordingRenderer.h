// A renderer that draws nothing and logs every call it receives, one line per call, so
// interpreter tests can compare what a content stream turned into.
#ifndef VARDEX_TESTS_RECORDINGRENDERER_H
#define VARDEX_TESTS_RECORDINGRENDERER_H

#include <string>
#include <vector>

#include "Interpreter/RenderPage.h"

class RecordingRenderer : public RenderPage {
public:
    int StartPage(int pageIndex, double width, double height) override;
    int EndPage() override;
    int StartCanvas(_matrix* m, double value) override;
    void EndCanvas() override;
    int ShowText(GState* gs, char* text, char* font, double size) override;
    int ShowTextEx(GState* gs, char* text, char* fontFile, double fontSize, double* glyphs,
                   const unsigned int* indices = nullptr) override;
    int ShowImage(GState* gs, ImageInfo* info, char* fileName) override;
    int ShowImageMask(GState* gs, ImageInfo* info, char* fileName) override;
    int SetSMask(GState* gs, ImageInfo* info, char* fileName) override;
    int Stroke(GState* gs) override;
    int Fill(GState* gs, FillRule rule) override;
    int FillStroke(GState* gs, FillRule rule) override;
    int FillShade(GState* gs, PdfName* shadingName) override;
    int Clip(GState* gs, FillRule rule) override;
    int EndClip() override;
    int OutComment(char* text) override;
    int FillText(GState* gs) override;

    // The calls so far joined with "; ".
    std::string Joined() const;
    // How many logged calls begin with this word.
    int Count(const std::string& call) const;

    // A path as "M x y L x y C x y x y x y V .. Y .. Z", read chunk by chunk the way the
    // page writer reads it; "-" for an empty path.
    static std::string PathText(PDF_PathGeometry* path);

    std::vector<std::string> log;
};

#endif

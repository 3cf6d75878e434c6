#include "RecordingRenderer.h"

#include <cstdio>

#include "Interpreter/GState.h"
#include "PathSegments.h"
#include "Pdf/PdfObj.h"

static std::string Num(double v)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

static std::string Str(const char* s)
{
    return s ? s : "(null)";
}

static std::string PathOf(GState* gs)
{
    return gs ? RecordingRenderer::PathText(gs->path) : "(no state)";
}

std::string RecordingRenderer::PathText(PDF_PathGeometry* path)
{
    if (!path)
        return "(no path)";
    static const char* const kLetter[] = {"M", "L", "C", "V", "Y", "Z"};
    std::string out;
    for (const PathSeg& s : ReadPathSegs(*path)) {
        if (s.op < 0 || s.op > 5) {
            out += " ?";
            continue;
        }
        out += out.empty() ? "" : " ";
        out += kLetter[s.op];
        for (const PDF_POINT_REAL& p : s.pts)
            out += " " + Num(p.x) + " " + Num(p.y);
        if ((int)s.pts.size() < PathSegPoints(s.op))
            out += " !";
    }
    return out.empty() ? "-" : out;
}

int RecordingRenderer::StartPage(int pageIndex, double width, double height)
{
    log.push_back("StartPage " + std::to_string(pageIndex) + " " + Num(width) + " " + Num(height));
    return 0;
}

int RecordingRenderer::EndPage()
{
    log.push_back("EndPage");
    return 0;
}

int RecordingRenderer::StartCanvas(_matrix*, double value)
{
    log.push_back("StartCanvas " + Num(value));
    return 0;
}

void RecordingRenderer::EndCanvas()
{
    log.push_back("EndCanvas");
}

int RecordingRenderer::ShowText(GState*, char* text, char* font, double size)
{
    log.push_back("ShowText " + Str(text) + " " + Str(font) + " " + Num(size));
    return 0;
}

// A pair with a glyph index of its own is logged as code/index:advance.
int RecordingRenderer::ShowTextEx(GState*, char* text, char* fontFile, double fontSize,
                                  double* glyphs, const unsigned int* indices)
{
    std::string line = "ShowTextEx " + std::string(text ? "text" : "glyphs") + " " +
                       Str(fontFile) + " " + Num(fontSize);
    for (int i = 0; glyphs && glyphs[2 * i] != 0.0; i++)
        line += " " + Num(glyphs[2 * i]) +
                (indices && indices[i] ? "/" + std::to_string(indices[i]) : "") + ":" +
                Num(glyphs[2 * i + 1]);
    log.push_back(line);
    return 0;
}

int RecordingRenderer::ShowImage(GState*, ImageInfo*, char* fileName)
{
    log.push_back("ShowImage " + Str(fileName));
    return 0;
}

int RecordingRenderer::ShowImageMask(GState*, ImageInfo*, char* fileName)
{
    log.push_back("ShowImageMask " + Str(fileName));
    return 0;
}

int RecordingRenderer::SetSMask(GState*, ImageInfo*, char* fileName)
{
    log.push_back("SetSMask " + Str(fileName));
    return 0;
}

int RecordingRenderer::Stroke(GState* gs)
{
    log.push_back("Stroke " + PathOf(gs));
    return 0;
}

int RecordingRenderer::Fill(GState* gs, FillRule rule)
{
    log.push_back("Fill " + std::to_string(rule) + " " + PathOf(gs));
    return 0;
}

int RecordingRenderer::FillStroke(GState* gs, FillRule rule)
{
    log.push_back("FillStroke " + std::to_string(rule) + " " + PathOf(gs));
    return 0;
}

int RecordingRenderer::FillShade(GState*, PdfName* shadingName)
{
    log.push_back("FillShade " + Str(shadingName ? shadingName->str : nullptr));
    return 0;
}

int RecordingRenderer::Clip(GState* gs, FillRule rule)
{
    log.push_back("Clip " + std::to_string(rule) + " " + PathOf(gs));
    return 0;
}

int RecordingRenderer::EndClip()
{
    log.push_back("EndClip");
    return 0;
}

int RecordingRenderer::OutComment(char* text)
{
    log.push_back("OutComment " + Str(text));
    return 0;
}

int RecordingRenderer::FillText(GState* gs)
{
    log.push_back("FillText " + PathOf(gs));
    return 0;
}

std::string RecordingRenderer::Joined() const
{
    std::string out;
    for (const std::string& line : log) {
        if (!out.empty())
            out += "; ";
        out += line;
    }
    return out;
}

int RecordingRenderer::Count(const std::string& call) const
{
    int n = 0;
    for (const std::string& line : log)
        if (line == call || line.compare(0, call.size() + 1, call + " ") == 0)
            n++;
    return n;
}

#include "RealDocs.h"

#include "HostileDocs.h"
#include "PdfBuilder.h"
#include "TestImages.h"

namespace testpdf {

namespace {

const char* const kForm = "/Type /XObject /Subtype /Form ";

RealDoc Row(const std::string& name, std::function<std::string()> make)
{
    RealDoc row;
    row.name = name;
    row.make = std::move(make);
    return row;
}

}  // namespace

void FormsAndGroups(std::vector<RealDoc>* rows)
{
    // A word processor's picture: the image fills a form of its own pixel-like units, which
    // the form's Matrix scales to its place, and the page moves it there.
    rows->push_back(Row("form-picture-scaled-and-moved", [] {
        return OnePage("<< /XObject << /Fm1 5 0 R >> >>",
                       "0.9 g 0 0 200 200 re f q 1 0 0 1 40 30 cm /Fm1 Do Q",
                       {{5, std::string(kForm) + "/BBox [0 0 600 450] /Matrix [0.2 0 0 0.2 0 0] "
                                                 "/Resources << /XObject << /Im0 6 0 R >> >>",
                         "q 600 0 0 450 0 0 cm /Im0 Do Q", true},
                        {6, "/Type /XObject /Subtype /Image /Width 240 /Height 180 "
                            "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /FlateDecode",
                         Deflate(testimg::StripeRgb(240, 180)), true}});
    }));

    // A page embedded in another, two to a sheet: each page's content reaches beyond its
    // box (a bleed), which clips it, and its Matrix shrinks it onto half of the sheet.
    rows->push_back(Row("form-embedded-pages-clipped-to-their-boxes", [] {
        const std::string page =
            "0 0 1 rg -60 -60 520 720 re f 1 1 1 rg 20 20 360 560 re f "
            "1 0 0 rg 40 400 320 160 re f 0 0.6 0 RG 12 w 40 40 m 360 360 l S "
            "0 0 0 rg 300 -50 200 200 re f";
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 240 170] "
                    "/Resources << /XObject << /P1 5 0 R /P2 6 0 R >> >> /Contents 4 0 R >>");
        b.Stream(4, "", "q 0.25 0 0 0.25 15 10 cm /P1 Do Q q 0.25 0 0 0.25 125 10 cm /P2 Do Q");
        b.Stream(5, std::string(kForm) + "/BBox [0 0 400 600]", page);
        b.Stream(6, std::string(kForm) + "/BBox [0 0 400 600] /Matrix [1 0 0 1 0 0]",
                 "0.5 g 0 0 400 600 re f " + page);
        b.ClassicXref();
        return b.Bytes();
    }));

    // Forms inside forms, each placed by its own Matrix (a scale, a quarter turn, a shear and
    // a move) and clipped by its own box, three levels deep.
    rows->push_back(Row("forms-nested-three-levels", [] {
        return OnePage(
            "<< /XObject << /A 5 0 R >> >>", "/A Do",
            {{5, std::string(kForm) + "/BBox [0 0 180 180] /Matrix [0.5 0 0 0.5 90 10] "
                                      "/Resources << /XObject << /B 6 0 R >> >>",
              "0 0 1 rg -50 -50 400 400 re f /B Do", true},
             {6, std::string(kForm) + "/BBox [0 0 120 120] /Matrix [0 1 -1 0 160 20] "
                                      "/Resources << /XObject << /C 7 0 R >> >>",
              "1 0 0 rg -20 -20 200 200 re f /C Do", true},
             {7, std::string(kForm) + "/BBox [10 10 90 60] /Matrix [1 0 0.5 1 5 5]",
              "0 0.7 0 rg 0 0 100 100 re f 1 1 0 rg 30 20 20 20 re f", true}});
    }));

    // A transparency group painted at half opacity while its own content paints opaque: the
    // group is one picture at half opacity, so where its shapes overlap it is no darker than
    // where one shape lies alone. Beside it the same content as a form without a group,
    // where each shape is half opaque on its own and the overlap is darker, as in the PDF.
    rows->push_back(Row("group-at-half-opacity-over-opaque-content", [] {
        const std::string shapes = "/O gs 0 0 1 rg 10 10 60 60 re f 40 40 60 60 re f "
                                   "0 0.5 0 RG 6 w 10 90 m 100 10 l S";
        const std::string res = "/Resources << /ExtGState << /O << /ca 1 /CA 1 >> >> >>";
        return OnePage("<< /XObject << /G 5 0 R /F 6 0 R >> "
                       "/ExtGState << /H << /ca 0.5 /CA 0.5 >> >> >>",
                       "1 1 0 rg 0 0 200 60 re f /H gs /G Do 1 0 0 1 95 95 cm /F Do",
                       {{5, std::string(kForm) + "/BBox [0 0 110 110] "
                                                 "/Group << /S /Transparency >> " + res,
                         shapes, true},
                        {6, std::string(kForm) + "/BBox [0 0 110 110]",
                         "0 0 1 rg 10 10 60 60 re f 40 40 60 60 re f", true}});
    }));

    // A fade as layout programs write it: a luminosity soft mask whose form, placed by its own
    // Matrix and the CTM of the gs that set it, paints white beside a white-to-black shading,
    // both clipped by the form's box. After /None the page paints unmasked again.
    rows->push_back(Row("soft-mask-form-with-matrix-and-box", [] {
        return OnePage(
            "<< /ExtGState << /Fade << /SMask << /S /Luminosity /G 5 0 R >> >> "
            "/Plain << /SMask /None >> >> >>",
            "1 1 0 rg 0 0 200 200 re f q 1 0 0 1 10 10 cm /Fade gs 0 0 1 rg 0 0 180 180 re f "
            "/Plain gs 1 0 0 rg 150 150 30 30 re f Q",
            {{5, std::string(kForm) + "/BBox [0 0 100 100] /Matrix [1.5 0 0 1.5 15 15] "
                                      "/Group << /S /Transparency /CS /DeviceGray >> "
                                      "/Resources << /Shading << /Sh 6 0 R >> >>",
              "1 g -50 -50 60 300 re f /Sh sh", true},
             {6, "<< /ShadingType 2 /ColorSpace /DeviceGray /Coords [20 0 90 0] "
                 "/Function << /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] /N 1 >> "
                 "/Extend [true true] >>", ""}});
    }));

    // An alpha soft mask turned a quarter and scaled by its form's Matrix, with opaque and
    // half-transparent parts, over a form that is no group: each of its shapes shows through
    // the mask on its own, so where they overlap the lower one shows through the upper.
    rows->push_back(Row("soft-mask-alpha-over-shapes-of-a-form", [] {
        return OnePage(
            "<< /ExtGState << /Mask << /SMask << /S /Alpha /G 5 0 R >> >> >> "
            "/XObject << /P 6 0 R >> >>",
            "1 1 0 rg 0 0 200 200 re f /Mask gs /P Do",
            {{5, std::string(kForm) + "/BBox [0 0 100 100] /Matrix [0 1.8 -1.8 0 190 10] "
                                      "/Group << /S /Transparency >> "
                                      "/Resources << /ExtGState << /H << /ca 0.5 >> >> >>",
              "0 0 0 rg 0 0 60 100 re f /H gs 60 0 40 100 re f 10 10 m 200 10 l 10 200 l f", true},
             {6, std::string(kForm) + "/BBox [0 0 200 200]",
              "0 0 1 rg 0 0 200 200 re f 1 0 0 rg 50 50 100 100 re f", true}});
    }));
}

}  // namespace testpdf

// The current path in user space, kept exactly as the content stream (or a glyph outline)
// gave it, plus the affine matrix type and the few operations the interpreter and the page
// writer apply to it.
#ifndef VARDEX_INTERPRETER_PATHGEOMETRY_H
#define VARDEX_INTERPRETER_PATHGEOMETRY_H

// Six doubles in PDF order. A point maps as a row vector times the matrix:
// x' = x*a + y*c + e, y' = x*b + y*d + f.
struct pdfmatrix {
    double a, b, c, d, e, f;
};

struct PDF_POINT_REAL {
    double x, y;
};

// Path operators and the number of points each carries.
typedef int PDF_PATH_OP;
enum {
    PDF_PATH_OP_MOVETO = 0,    // 1 point
    PDF_PATH_OP_LINETO = 1,    // 1 point
    PDF_PATH_OP_CURVETO = 2,   // 3 points: control 1, control 2, end
    PDF_PATH_OP_CURVETO_V = 3, // 2 points: control 2, end (control 1 is the start point)
    PDF_PATH_OP_CURVETO_Y = 4, // 2 points: control 1, end (control 2 is the end point)
    PDF_PATH_OP_CLOSEPATH = 5, // no point
    // Stands in the last-operator field of a path that holds no operator yet; never stored.
    PDF_PATH_OP_NONE = 8
};

// 1 non-zero winding, 0 even-odd.
typedef int FillRule;

enum { PDF_PATH_CHUNK_SLOTS = 4 };

struct PDF_PATH_OP_CHUNK {
    int count;
    PDF_PATH_OP ops[PDF_PATH_CHUNK_SLOTS];
    PDF_PATH_OP_CHUNK* next;
    PDF_PATH_OP_CHUNK* prev;
};

// All points of one operator lie in one chunk, so a chunk may end with unused slots; a
// reader moves on to the next chunk once it has taken `count` points from this one.
struct PDF_POINT_CHUNK {
    int count;
    PDF_POINT_REAL pts[PDF_PATH_CHUNK_SLOTS];
    PDF_POINT_CHUNK* next;
    PDF_POINT_CHUNK* prev;
};

class PDF_PathGeometry {
public:
    PDF_PathGeometry();
    // Deep copy of src's operators and points (used for q and for nested streams).
    explicit PDF_PathGeometry(PDF_PathGeometry* src);
    ~PDF_PathGeometry();
    PDF_PathGeometry(const PDF_PathGeometry&) = delete;
    PDF_PathGeometry& operator=(const PDF_PathGeometry&) = delete;

    // Appends op with its n points (0..3). 0, or -1 when memory ran out or the arguments
    // are impossible; either way a failed call leaves the path as it was.
    int Add(PDF_PATH_OP op, PDF_POINT_REAL* pts, int n);
    // Empties the path in place, keeping the first chunk of each chain.
    void Destroy();
    // Diagnostic listing on standard output; nothing calls it in the conversion.
    void DumpPath();

    // Chains of chunks. Both first chunks are null only when the path could not be set up,
    // and such a path refuses every Add.
    PDF_POINT_CHUNK* firstPts;
    PDF_POINT_CHUNK* lastPts;
    PDF_PATH_OP_CHUNK* lastOps;
    PDF_PATH_OP_CHUNK* firstOps;

    PDF_POINT_REAL currentPoint; // the last point added
    PDF_POINT_REAL secondPoint;  // set by the constructors, read by nobody
    PDF_POINT_REAL subpathStart; // the point of the last move
    int lastOpPointCount;        // points of the last operator (1 for a close)
    PDF_PATH_OP lastOp;          // PDF_PATH_OP_NONE while the path is empty
    PDF_POINT_REAL lastOpPoints[3];
};

// Points an operator carries; -1 for a value that is no operator (a reader stops there).
int PathOpPointCount(PDF_PATH_OP op);

void Transform(double x, double y, pdfmatrix* m, double* outX, double* outY);
// Appends every operator of src to dst with its points mapped through m.
void TransformPath(PDF_PathGeometry* src, pdfmatrix* m, PDF_PathGeometry* dst);
// The same without the translation, for distances and directions.
void DistTransform(double x, double y, pdfmatrix* m, double* outX, double* outY);
// A singular matrix (determinant exactly 0) is copied unchanged.
void InvertMatrix(pdfmatrix* out, pdfmatrix* in);
// R = B x A: a point mapped by R is mapped first by B, then by A. R may be A or B.
void ConcatMatrix(pdfmatrix* A, pdfmatrix* B, pdfmatrix* R);

class PdfObj;
// Reads six number operands (integers or reals, in order a b c d e f) into *m, as cm and Tm
// give them. Any operand that is not a number gives -1 and leaves *m alone.
int StackToCtm(PdfObj** operands, pdfmatrix* m);

#endif

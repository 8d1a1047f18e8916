#pragma once
// The triangle mesh of the .ob3 format: vertex positions, triangles with per-corner texture
// coordinates, face and vertex normals, and a compiled display list.
//
// The .ob3 file (little-endian, no header beyond the counts): V (u16), F (u16), V vertex records
// of x, y, z (s16 each, object units, unscaled), then F face records of 20 bytes: corner indices
// 0, 1, 2 (u16, each below V), an extra u16 kept but unused, and s0, t0, s1, t1, s2, t2 (s16,
// fixed point with 8 fractional bits, t counted from the top: s = value / 256,
// t = 1 - value / 256). A file is 4 + 6V + 20F bytes; bytes after the last face are ignored.
//
// Drawing (Object3DDraw.cpp) sets no GL state of its own: the caller binds textures, sets
// lighting, blending and matrices. Operations that compile a list take a new name from
// glGenLists and never delete the list they replace.
#include <GL/gl.h>

#include <string>
#include <vector>

namespace assets {

struct Object3DFace {
    int corners[3] = {0, 0, 0};  // vertex indices of corners 0, 1, 2
    int extra = 0;               // the file's fourth value, used by nothing
    float texCoords[6] = {};     // s0, t0, s1, t1, s2, t2 after the load-time conversion
};

class Object3D {
public:
    Object3D() = default;
    virtual ~Object3D() = default;
    Object3D(const Object3D&) = delete;
    Object3D& operator=(const Object3D&) = delete;

    // Reads the .ob3 file through datafiles::DataFile (so a file missing from data/ comes from
    // the archive), computes the normals and compiles the display list (GL context current).
    // A file found nowhere, shorter than its counts say, or with a corner index not below V is
    // reported once as path + " cannot load 3dobject" through platform::reportFatalError, and the
    // object stays as it was. Loading again replaces the arrays.
    void load(const std::string& path);

    // load without the report and without the display list (needs no GL context). Returns false,
    // leaving the object as it was, for the failures load reports.
    bool loadGeometry(const std::string& path);

    // Sets `loaded` and sizes every array for vertexCount and faceCount (contents zero).
    void allocateArrays();

    // Face normals, then vertex normals, from `positions` into the base arrays, then copied over
    // the working arrays. A face normal is the unit cross product (p1 - p0) x (p2 - p0), or
    // (0, 0, 1) for a degenerate face; a vertex normal is the unit sum, in face order, of the
    // normals of the faces using it (a face counted once even if the vertex is two of its
    // corners), or (0, 0, 1) when the sum is zero or no face uses it. Linear in V + F.
    void computeNormals();

    // --- drawing (GL context current) ---

    // Every face as a textured, smooth-shaded triangle: per corner glTexCoord2f(s + uOffset,
    // t + vOffset), glNormal3f(vertex normal), glVertex3f(position). Inside out: corners in the
    // order 0, 2, 1 with every normal negated.
    void draw() const;
    void buildDisplayList();     // displayList = a new list holding draw()
    void callDisplayList() const;
    void drawPoints() const;     // every position as a GL point, in index order
    void drawFlat() const;       // face normals, no texture coordinates; insideOut not used
    void buildFlatList();        // displayList = a new list holding drawFlat()
    // displayList = a new list like draw() (insideOut not used) whose normals are
    // blendNormal(baseFaceNormals of the face, vertexNormals of the corner, a).
    void buildBlendedNormalList(float a);
    // Multiplies every stored s by su and t by sv, then buildDisplayList.
    void scaleTexCoords(float su, float sv);

    // --- deformers: push the working positions along the working vertex normals, in place and
    // cumulatively (time in ms; scale divides the spatial frequency; amount scales the push) ---
    void rippleSum(float time, float scale, float amount);
    void rippleMixed(float time, float scale, float amount);
    void wobble(float time, float scale, float amount);
    void pulse(float time, float scale, float amount);

    // Copies the base positions and normals back over the working arrays.
    void restoreBase();
    void toggleInsideOut() { insideOut = !insideOut; }
    // computeNormals' two passes on the working arrays only (base arrays untouched).
    void recomputeNormals();

    float vOffset = 0.0f;         // added to every t when drawing
    float uOffset = 0.0f;         // added to every s when drawing
    bool loaded = false;          // the arrays below exist
    GLuint displayList = 0;
    int vertexCount = 0;          // V, 0 to 65,535
    int faceCount = 0;            // F, 0 to 65,535
    std::vector<float> baseVertexNormals;  // V x 3, as computed at load
    std::vector<float> vertexNormals;      // V x 3, the ones drawn
    std::vector<float> baseFaceNormals;    // F x 3, as computed at load
    std::vector<float> faceNormals;        // F x 3, working
    std::vector<float> basePositions;      // V x 3, as loaded
    std::vector<Object3DFace> faces;       // F
    std::vector<float> positions;          // V x 3, the ones drawn
    bool insideOut = false;                // reversed winding and negated normals when drawing

private:
    void drawBlended(float a) const;
};

// m = (1 - a) * faceNormal - a * vertexNormal, normalised; (0, 0, 1) when m is zero.
// Writes the three components to out.
void blendNormal(const float* faceNormal, const float* vertexNormal, float a, float* out);

}  // namespace assets

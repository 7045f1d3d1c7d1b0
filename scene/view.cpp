// What the current GL state can show: its transform as half-spaces of the world, and the
// floor's place on the screen, so that drawing can leave out what adds no pixel.
#include "scene/scene.h"

#include <algorithm>
#include <cmath>

ViewRecord View;

// The clip-space planes of the view volume, each shown where x X + y Y + z Z + w W >= 0:
// right, left, top, bottom, near, far (GL clips where X > W, X < -W, ... Z > W).
static const double FrustumPlanes[FrustumPlaneCount][4] = {
    {-1, 0, 0, 1}, {1, 0, 0, 1}, {0, -1, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {0, 0, -1, 1},
};

static const double PixelSlack = 1;  // a fragment's centre lies in its triangle, whose corners snap to sub-pixels
static const double FogSlack = 0.01; // a fragment's fog coordinate is interpolated between its corners'

// View.clip and View.viewport from GL; the model-view too, for the caller.
static void ReadTransform(GLfloat modelView[16])
{
    GLfloat projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, View.viewport);
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += (double)projection[4 * k + r] * modelView[4 * c + k];
            View.clip[4 * c + r] = sum;
        }
}

// Adds the world half-space of a clip-space plane: the plane times the clip matrix.
static void AddClipPlane(const double clip[4])
{
    PlaneRecord &plane = View.planes[View.planeCount++];
    for (int c = 0; c < 4; c++)
        plane.n[c] = clip[0] * View.clip[4 * c] + clip[1] * View.clip[4 * c + 1] + clip[2] * View.clip[4 * c + 2] +
                     clip[3] * View.clip[4 * c + 3];
}

// Adds the half-spaces of the window's columns (axis 0) or rows (axis 1) from low to high, a pixel wider each side.
static void AddWindowBand(int axis, double low, double high)
{
    double origin = View.viewport[axis], size = View.viewport[axis + 2];
    double above[4] = {}, below[4] = {};
    above[axis] = 1, above[3] = 1 - 2 * (low - PixelSlack - origin) / size;   // X >= low W in device units
    below[axis] = -1, below[3] = 2 * (high + PixelSlack - origin) / size - 1; // X <= high W
    AddClipPlane(above);
    AddClipPlane(below);
}

// True where a fragment at or past the fog's end adds exactly nothing: linear fog to black, added to the picture.
static bool FogEndHides()
{
    GLint mode = 0, destination = 0;
    GLfloat colour[4] = {};
    glGetIntegerv(GL_FOG_MODE, &mode);
    glGetFloatv(GL_FOG_COLOR, colour);
    glGetIntegerv(GL_BLEND_DST, &destination);
    return mode == GL_LINEAR && colour[0] == 0 && colour[1] == 0 && colour[2] == 0 && glIsEnabled(GL_BLEND) &&
           destination == GL_ONE;
}

// Reads the transform, the scissor box and the fog from GL into View.
void ReadView()
{
    GLfloat modelView[16];
    ReadTransform(modelView);
    View.planeCount = 0;
    for (const auto &plane : FrustumPlanes)
        AddClipPlane(plane);
    if (glIsEnabled(GL_SCISSOR_TEST)) {
        GLint box[4];
        glGetIntegerv(GL_SCISSOR_BOX, box);
        AddWindowBand(0, box[0], box[0] + box[2]);
        AddWindowBand(1, box[1], box[1] + box[3]);
    }
    if (glIsEnabled(GL_FOG) && FogEndHides()) { // shown where the eye depth -z is at most the end
        GLfloat end;
        glGetFloatv(GL_FOG_END, &end);
        PlaneRecord &plane = View.planes[View.planeCount++];
        for (int c = 0; c < 4; c++)
            plane.n[c] = modelView[4 * c + 2];
        plane.n[3] += end + FogSlack;
    }
}

// Switches the scissor test on around the window rectangle that holds every pixel of the floor.
void ScissorFloor()
{
    GLfloat modelView[16];
    ReadTransform(modelView);
    // The floor's corners in clip space, cut by the near plane: what remains has W > 0.
    double in[4][4], kept[8][4];
    for (int i = 0; i < 4; i++)
        for (int r = 0; r < 4; r++)
            in[i][r] = View.clip[r] * FloorCorners[i][0] + View.clip[4 + r] * FloorCorners[i][1] +
                       View.clip[8 + r] * FloorCorners[i][2] + View.clip[12 + r];
    int count = 0;
    for (int i = 0; i < 4; i++) {
        const double *a = in[i], *b = in[(i + 1) % 4];
        double da = a[2] + a[3], db = b[2] + b[3];
        if (da >= 0)
            std::copy(a, a + 4, kept[count++]);
        if ((da >= 0) != (db >= 0)) {
            double t = da / (da - db);
            for (int r = 0; r < 4; r++)
                kept[count][r] = a[r] + t * (b[r] - a[r]);
            count++;
        }
    }
    // Bounds in window pixels, a pixel wider each side, within the viewport; the whole
    // viewport where the transform is no perspective (a corner kept at or behind the eye).
    const GLint *vp = View.viewport;
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    bool sensible = true;
    for (int i = 0; i < count; i++)
        for (int axis = 0; axis < 2; axis++) {
            double window = vp[axis] + (kept[i][axis] / kept[i][3] + 1) * vp[axis + 2] / 2;
            sensible = sensible && kept[i][3] > 0 && std::isfinite(window);
            low[axis] = std::min(low[axis], window), high[axis] = std::max(high[axis], window);
        }
    GLint box[4];
    for (int axis = 0; axis < 2; axis++) {
        double start = vp[axis], end = start + vp[axis + 2];
        double from = sensible ? std::floor(low[axis]) - PixelSlack : start;
        double to = sensible ? std::ceil(high[axis]) + PixelSlack : end;
        from = std::clamp(from, start, end), to = std::clamp(to, from, end); // no floor left: an empty box
        box[axis] = (GLint)from, box[axis + 2] = (GLint)(to - from);
    }
    glScissor(box[0], box[1], box[2], box[3]);
    glEnable(GL_SCISSOR_TEST);
}

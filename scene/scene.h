// The city scene: its process-wide state and the operations on it.
#pragma once

#include <windows.h>
#include <GL/gl.h>

enum {
    TowerCount = 100,
    TilesPerTower = 93,
    TileCount = TowerCount * TilesPerTower,
};

// ---- scene data
struct Pulse {
    float x, y, z;
    BYTE heading; // 0 toward -z, 1 toward -x, 2 toward +z, 3 toward +x
};

extern BYTE TileTable[TileCount];    // TileCode per tile: 16 slot + 4 column + row
extern BYTE TowerGlow[TowerCount];   // bit 7 flaring, bits 0-6 glow level
extern BYTE FlickerCounts[TowerCount]; // tiles re-rolled per tick
extern Pulse *PulseArray;            // SaverSettings.pulses records, or none

// ---- random generator
extern DWORD SceneRandom; // generator state; the seed becomes the state

int RandomBelow(int n); // 0..n-1 from the next 15-bit output
void FillSceneTables(); // a pulse array sized by the settings; start values of tiles, pulse heights, flicker counts

// ---- camera
struct PathPoint {
    float x, z, height;
};

struct CameraPathRecord {
    PathPoint start, control, end, previousControl;
    float t;                // along the current segment, 0 to below 1
    signed char direction;  // sign of the next step along either axis
    BYTE zTurnArmed, xTurnArmed, primed;
};

struct CameraPoseRecord {
    PathPoint eye, lookAt;
    float roll, rollLimit;  // degrees
    BYTE rollFalling;
};

extern CameraPathRecord CameraPath;
extern CameraPoseRecord CameraPose;

struct HeldViewRecord {
    bool taken;
    PathPoint eye, lookAt;
};

extern HeldViewRecord HeldView; // the renderer's still view at Speed 0, taken at its first frame

// ---- simulation
void StepScene();  // one fixed tick of pulses, flares, flicker, glow, camera
void StepCamera(); // roll, then fly along the path

// ---- textures: 0 readout atlas, 1 listing atlas, 2 floor, 3 pulse
extern GLuint TextureSlots[4];

void LoadTextures();

// ---- drawing
void DrawTowers();  // the towers that can show, each tile its atlas cell, tinted by their glow
void DrawFloor();   // the circuit floor under the whole grid
void DrawPulses();  // every pulse, its texture turned to its heading
void RenderFrame(); // mirror, floor, direct scene, overlay, swap

extern const float FloorCorners[4][5]; // x, y, z, then s, t, in drawing order

// ---- what the current GL state can show, as half-spaces of the world
enum { FrustumPlaneCount = 6, MaxViewPlanes = FrustumPlaneCount + 5 };

struct PlaneRecord {
    double n[4]; // shown where n0 x + n1 y + n2 z + n3 >= 0
};

struct ViewRecord {
    double clip[16];   // projection x model-view, column-major as GL keeps it
    GLint viewport[4];
    PlaneRecord planes[MaxViewPlanes]; // the view volume's, then the scissor box's and the fog's end while on
    int planeCount;
};

extern ViewRecord View;

void ReadView();     // View from the GL's matrices, viewport, scissor and fog
void ScissorFloor(); // scissor test on, around every pixel the floor can cover

// How far a world point lies on the shown side of a plane (negative: the hidden side).
inline double PlaneDistance(const PlaneRecord &plane, double x, double y, double z)
{
    return plane.n[0] * x + plane.n[1] * y + plane.n[2] * z + plane.n[3];
}

// ---- frame-rate overlay
extern GLuint FontListBase;  // 256 glyph lists, one per character code
extern int FrameCount;       // frames in the current counting window
extern int ShownFps;         // frames counted in the last window
extern DWORD FpsWindowStart; // tick count when the current window began

void CreateOverlayFont(HDC dc);
void DeleteOverlayFont(HDC dc);
void DrawOverlayText(const char *format, ...);
void CountFrame();

// ---- scene window
struct ClientSizeRecord {
    LONG width, height;
};

extern ClientSizeRecord ClientSize; // measured at creation, then kept by WM_SIZE
extern HDC SceneDC;
extern HGLRC SceneContext;
extern UINT_PTR SimulationTimer, FrameTimer;

void InitScene(HWND window);          // settings, seed, context, textures, font, tables
void CreateSceneContext(HWND window); // pixel format, context, textures, font, fixed GL state
void SetupProjection(int width, int height);

extern WNDPROC SceneDefaultProc; // what handles the messages the scene does not: the host's, once it says so

LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CALLBACK SimulationTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

// The four pictures from the program's resources, uploaded once with mipmaps.
#include "scene/scene.h"

#include <GL/glu.h>

// ---- texture names
GLuint TextureSlots[4];

// Bitmap resource of each slot: readout atlas, listing atlas, floor, pulse.
static const WORD SlotResources[4] = {128, 112, 114, 130};

// Uploads every bitmap that loads; a missing one leaves its slot untextured.
void LoadTextures()
{
    glGenTextures(4, TextureSlots);
    for (int slot = 0; slot < 4; slot++) {
        HBITMAP bitmap = (HBITMAP)LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(SlotResources[slot]),
                                             IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        if (!bitmap)
            continue;
        BITMAP info = {};
        if (GetObjectA(bitmap, sizeof info, &info) && info.bmBits) {
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4); // rows are padded to 4 bytes
            glBindTexture(GL_TEXTURE_2D, TextureSlots[slot]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, info.bmWidth, info.bmHeight, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                              info.bmBits);
        }
        DeleteObject(bitmap);
    }
}

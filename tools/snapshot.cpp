// vantrel-snapshot: draws one frame of the scene off-screen, after a given
// number of ticks from a given seed, and writes it as a PNG.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "settings/settings.h"
#include "tools/args.h"
#include "tools/headless_scene.h"

static const char Usage[] =
    "usage: vantrel-snapshot --seed S --ticks N --size WxH [--speed BYTE] [--pulses BYTE]"
    " [--reflections 0|1] [--showfps 0|1] [--fps N] -o FILE.png\n";

static const unsigned long long MaxSide = 8192; // beyond this a typo, not a picture

// Parses "WxH" with both sides 1..MaxSide.
static bool ParseSize(const char *text, unsigned long long *width, unsigned long long *height)
{
    const char *x = text ? std::strchr(text, 'x') : nullptr;
    if (!x)
        return false;
    std::string widthText(text, x);
    return ParseNumber(widthText.c_str(), MaxSide, width) && ParseNumber(x + 1, MaxSide, height) && *width &&
           *height;
}

static bool WritePng(const char *path, int width, int height, const unsigned char *rgb)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path, 0, rgb, 0, nullptr);
}

int main(int argc, char **argv)
{
    unsigned long long seed = 0, ticks = 0, width = 0, height = 0;
    unsigned long long speed = 10, pulses = 15, reflections = 1, showfps = 1, fps = 0;
    const char *output = nullptr;
    bool haveSeed = false, haveTicks = false;
    for (int i = 1; i < argc; i += 2) {
        const char *option = argv[i], *value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok;
        if (!std::strcmp(option, "--seed"))
            ok = haveSeed = ParseNumber(value, 0xFFFFFFFFull, &seed);
        else if (!std::strcmp(option, "--ticks"))
            ok = haveTicks = ParseNumber(value, 0xFFFFFFFFull, &ticks);
        else if (!std::strcmp(option, "--size"))
            ok = ParseSize(value, &width, &height);
        else if (!std::strcmp(option, "--speed"))
            ok = ParseNumber(value, 255, &speed);
        else if (!std::strcmp(option, "--pulses"))
            ok = ParseNumber(value, 255, &pulses);
        else if (!std::strcmp(option, "--reflections"))
            ok = ParseNumber(value, 1, &reflections);
        else if (!std::strcmp(option, "--showfps"))
            ok = ParseNumber(value, 1, &showfps);
        else if (!std::strcmp(option, "--fps"))
            ok = ParseNumber(value, 0x7FFFFFFF, &fps);
        else if (!std::strcmp(option, "-o"))
            ok = (output = value) != nullptr && *value;
        else
            ok = false;
        if (!ok) {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    if (!haveSeed || !haveTicks || !width || !output) {
        std::fputs(Usage, stderr);
        return 2;
    }

    ApplySettings((BYTE)speed, (BYTE)pulses, (BYTE)reflections, (BYTE)showfps);
    SceneRandom = (DWORD)seed;
    HWND window = OpenHeadlessScene((int)width, (int)height);
    if (!window) {
        std::fputs("vantrel-snapshot: no off-screen OpenGL context\n", stderr);
        return 1;
    }
    for (unsigned long long n = 0; n < ticks; n++)
        StepScene();
    ShownFps = (int)fps;
    RenderFrame();

    std::vector<unsigned char> rgb(width * height * 3);
    ReadHeadlessPixels(window, rgb.data());
    if (!WritePng(output, (int)width, (int)height, rgb.data())) {
        std::fprintf(stderr, "vantrel-snapshot: cannot write %s\n", output);
        return 1;
    }
    return 0;
}

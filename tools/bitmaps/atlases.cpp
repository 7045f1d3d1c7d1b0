// The two tile atlases: screens of readouts (128) and of code listings (112).
#include "canvas.h"

#include <cstdio>
#include <cstring>

//
// Colours and layout
//

enum { AtlasSize = 256, CellSize = 64 };

struct Shades { Rgb ground, dim, bright; };

static const Shades ReadoutShades = {{0, 9, 18}, {78, 60, 214}, {130, 129, 255}};   // blue-violet to lavender
static const Shades ListingShades = {{0, 9, 19}, {38, 128, 236}, {144, 199, 255}};  // azure to sky blue

// A line maker writes one line of at most room characters.
typedef void (*LineMaker)(Dice &dice, char *line, int room);

//
// Words
//

static const char *const Devices[] = {"NODE", "LINK", "PORT", "BANK", "UNIT", "CORE", "GATE", "BUS"};
static const char *const States[] = {"OK", "UP", "IDLE", "BUSY", "SYNC", "WAIT", "HOLD", "RUN"};
static const char *const Gauges[] = {"LOAD", "TEMP", "RATE", "FLOW", "HEAT", "FREQ", "GAIN"};
static const char *const Registers[] = {"AX", "BX", "CX", "DX", "SI", "DI", "SP", "PC"};
static const char *const Tasks[] = {"SCAN", "SEEK", "TRACE", "PARSE", "SORT", "MERGE", "ROUTE"};
static const char *const Opcodes[] = {"MOV", "ADD", "SUB", "CMP", "JNZ", "JMP", "AND", "XOR",
                                      "PUSH", "POP", "LEA", "SHL", "INC", "DEC", "OUT", "TEST"};
static const char *const Names[] = {"N", "I", "J", "K", "X", "Y", "DX", "SUM", "PTR", "BUF", "LEN", "ACC"};
static const char *const Labels[] = {"LOOP", "NEXT", "SCAN", "INIT", "EXIT", "SEND", "WAIT", "FILL"};
static const char *const Remarks[] = {"; RESET", "; CHECK", "; SWAP", "; COUNT", "REM BANK", "; ACK"};

#define PICK(dice, words) (words[DiceBelow(dice, int(sizeof(words) / sizeof(words[0])))])

// One line of a system readout: a status, a gauge, a register pair, a hex dump or a task.
// Each draw is its own statement, last field first as the committed pictures were drawn,
// so that every compiler rolls the dice in the same order.
static void ReadoutLine(Dice &dice, char *line, int room)
{
    char text[64];
    switch (DiceBelow(dice, 5)) {
    case 0: {
        const char *state = PICK(dice, States);
        int number = DiceBelow(dice, 64);
        snprintf(text, sizeof text, "%s %02d %s", PICK(dice, Devices), number, state);
        break;
    }
    case 1: {
        int percent = DiceBelow(dice, 101);
        snprintf(text, sizeof text, "%s %3d%%", PICK(dice, Gauges), percent);
        break;
    }
    case 2: {
        int low = DiceBelow(dice, 256);
        const char *second = PICK(dice, Registers);
        int word = DiceBelow(dice, 65536);
        snprintf(text, sizeof text, "%s=%04X %s=%02X", PICK(dice, Registers), word, second, low);
        break;
    }
    case 3: {
        int bytes[3];
        for (int &byte : bytes)
            byte = DiceBelow(dice, 256);
        snprintf(text, sizeof text, "%04X %02X %02X %02X", DiceBelow(dice, 65536), bytes[2], bytes[1], bytes[0]);
        break;
    }
    default: {
        const char *state = PICK(dice, States);
        snprintf(text, sizeof text, "%s....%s", PICK(dice, Tasks), state);
        break;
    }
    }
    snprintf(line, size_t(room) + 1, "%s", text);
}

// One line of a program: an instruction, a label, an assignment, a branch or a remark.
static void CodeLine(Dice &dice, char *line, int room)
{
    char text[64];
    const char *indent = DiceBelow(dice, 3) ? "  " : " ";
    switch (DiceBelow(dice, 8)) {
    case 0: snprintf(text, sizeof text, "%s:", PICK(dice, Labels)); break;
    case 1: snprintf(text, sizeof text, "%s", PICK(dice, Remarks)); break;
    case 2: {
        int target = 10 * DiceBelow(dice, 50);
        int limit = DiceBelow(dice, 20);
        snprintf(text, sizeof text, "%sIF %s>%d GOTO %d", indent, PICK(dice, Names), limit, target);
        break;
    }
    case 3: {
        int step = DiceBelow(dice, 16);
        const char *source = PICK(dice, Names);
        snprintf(text, sizeof text, "%s%s=%s+%d", indent, PICK(dice, Names), source, step);
        break;
    }
    case 4: snprintf(text, sizeof text, "%sCALL %04X", indent, DiceBelow(dice, 65536)); break;
    default: {
        const char *source = PICK(dice, Registers);
        const char *target = PICK(dice, Registers);
        snprintf(text, sizeof text, "%s%s %s,%s", indent, PICK(dice, Opcodes), target, source);
        break;
    }
    }
    snprintf(line, size_t(room) + 1, "%s", text);
}

//
// Text blocks
//

// A colour between the dim and bright ends; a few lines stand out at full brightness.
static Rgb LineShade(Dice &dice, const Shades &shades)
{
    if (DiceBelow(dice, 6) == 0)
        return shades.bright;
    return MixRgb(shades.dim, shades.bright, float(DiceBelow(dice, 70)) / 100.0f);
}

// Fills the box from (x0, y0) to (x1, y1) with generated lines; blankChance
// in a hundred leaves a line empty, so that the text falls into blocks.
static void FillTextBlock(Picture &picture, Dice &dice, int x0, int y0, int x1, int y1,
                          LineMaker maker, const Shades &shades, int blankChance)
{
    const int room = (x1 - x0 + 2) / GlyphAdvance;
    for (int y = y0; y + 4 <= y1; y += LineAdvance) {
        char line[64];
        maker(dice, line, room < 63 ? room : 63);
        bool blank = DiceBelow(dice, 100) < blankChance && y != y0;
        if (!blank)
            DrawText(picture, x0, y, line, LineShade(dice, shades));
    }
}

// Top-left pixel of the cell in cell column a, cell row b counted from the top.
static int CellX(int a) { return a * CellSize; }
static int CellY(int b) { return b * CellSize; }

//
// Readout graphics
//

// A left-pointing triangle with a short legend and a boxed caption below.
static void DrawSeekPanel(Picture &picture, Dice &dice, int ox, int oy, const Shades &shades)
{
    Rgb ink = shades.bright;
    DrawLine(picture, ox + 6, oy + 20, ox + 30, oy + 6, ink);
    DrawLine(picture, ox + 30, oy + 6, ox + 30, oy + 34, ink);
    DrawLine(picture, ox + 30, oy + 34, ox + 6, oy + 20, ink);
    FillTextBlock(picture, dice, ox + 36, oy + 8, ox + 60, oy + 34, ReadoutLine, shades, 0);
    DrawBox(picture, ox + 5, oy + 41, ox + 58, oy + 55, ink);
    DrawText(picture, ox + 14, oy + 46, "PREV PAGE", ink);
}

// Four outlined bars of different heights on an axis, with their values beside them.
static void DrawBarChart(Picture &picture, Dice &dice, int ox, int oy, const Shades &shades)
{
    static const int Heights[4] = {22, 44, 13, 33};
    Rgb ink = shades.bright;
    DrawLine(picture, ox + 4, oy + 6, ox + 4, oy + 56, ink);
    DrawLine(picture, ox + 4, oy + 56, ox + 34, oy + 56, ink);
    for (int k = 0; k < 4; k++) {
        int x = ox + 8 + 7 * k;
        DrawBox(picture, x, oy + 56 - Heights[k], x + 4, oy + 56, ink);
        char label[32];
        snprintf(label, sizeof label, "CH%d %2d", k + 1, Heights[k]);
        DrawText(picture, ox + 37, oy + 8 + 8 * k, label, LineShade(dice, shades));
    }
    DrawText(picture, ox + 37, oy + 46, "SUM", shades.dim);
    DrawText(picture, ox + 41, oy + 52, "112", ink);
}

// Seven outlined bars of nearly equal height under a title, numbered below.
static void DrawLevelMeters(Picture &picture, int ox, int oy, const Shades &shades)
{
    static const int Heights[7] = {36, 38, 35, 37, 38, 36, 37};
    DrawText(picture, ox + 4, oy + 4, "LEVELS", shades.bright);
    for (int k = 0; k < 7; k++) {
        int x = ox + 4 + 8 * k;
        DrawBox(picture, x, oy + 51 - Heights[k], x + 5, oy + 51, shades.bright);
        char digit[2] = {char('1' + k), 0};
        DrawText(picture, x + 1, oy + 55, digit, shades.dim);
    }
}

// A framed box whose inside is cleared first, so it hides whatever it overlaps.
static void DrawFrame(Picture &picture, int x0, int y0, int x1, int y1, const Shades &shades)
{
    FillBox(picture, x0, y0, x1, y1, shades.ground);
    DrawBox(picture, x0, y0, x1, y1, shades.bright);
}

// Two overlapping document panels, each full of text.
static void DrawDocuments(Picture &picture, Dice &dice, int ox, int oy, const Shades &shades)
{
    DrawFrame(picture, ox + 3, oy + 3, ox + 40, oy + 42, shades);
    FillTextBlock(picture, dice, ox + 6, oy + 6, ox + 38, oy + 40, ReadoutLine, shades, 10);
    DrawFrame(picture, ox + 20, oy + 18, ox + 60, oy + 60, shades);
    FillTextBlock(picture, dice, ox + 23, oy + 21, ox + 58, oy + 58, ReadoutLine, shades, 10);
}

// A dialog box: title bar, one line of message and its buttons.
static void DrawDialog(Picture &picture, int x0, int y0, int x1, int y1, const char *title,
                       const char *message, const char *const *buttons, int buttonCount, const Shades &shades)
{
    DrawFrame(picture, x0, y0, x1, y1, shades);
    DrawText(picture, x0 + 3, y0 + 3, title, shades.bright);
    DrawLine(picture, x0, y0 + 10, x1, y0 + 10, shades.bright);
    DrawText(picture, x0 + 4, y0 + 14, message, shades.dim);
    for (int k = 0, x = x0 + 3; k < buttonCount; k++) {
        int width = int(strlen(buttons[k])) * GlyphAdvance + 4;
        DrawBox(picture, x, y1 - 10, x + width, y1 - 3, shades.bright);
        DrawText(picture, x + 3, y1 - 8, buttons[k], shades.bright);
        x += width + 4;
    }
}

static void DrawDialogs(Picture &picture, int ox, int oy, const Shades &shades)
{
    static const char *const Ok[] = {"OK"};
    static const char *const YesNo[] = {"YES", "NO"};
    DrawDialog(picture, ox + 3, oy + 4, ox + 42, oy + 36, "ERROR", "NO LINK", Ok, 1, shades);
    DrawDialog(picture, ox + 18, oy + 22, ox + 60, oy + 56, "QUERY", "RETRY?", YesNo, 2, shades);
}

//
// The atlases
//

// Cells in columns a and rows b from the top; the bottom-left cell keeps its
// corner free, because the tower bases sample the ground there.
Picture DrawReadoutAtlas()
{
    const Shades &s = ReadoutShades;
    Picture picture = NewPicture(AtlasSize, AtlasSize, s.ground, false);
    Dice dice{0x5eed0128u};
    auto block = [&](int a, int b, int x0, int y0, int x1, int y1, int blanks) {
        FillTextBlock(picture, dice, CellX(a) + x0, CellY(b) + y0, CellX(a) + x1, CellY(b) + y1,
                      ReadoutLine, s, blanks);
    };
    // top row
    DrawText(picture, CellX(0) + 3, CellY(0) + 3, "SYS MONITOR", s.bright);
    block(0, 0, 3, 11, 60, 33, 0);
    block(0, 0, 3, 39, 60, 60, 0);
    DrawSeekPanel(picture, dice, CellX(1), CellY(0), s);
    DrawBarChart(picture, dice, CellX(2), CellY(0), s);
    DrawLevelMeters(picture, CellX(3), CellY(0), s);
    // second row
    block(0, 1, 3, 3, 60, 60, 8);
    block(1, 1, 3, 3, 60, 27, 0);
    block(1, 1, 11, 34, 60, 60, 0);
    DrawText(picture, CellX(2) + 5, CellY(1) + 20, "LINK LOST", s.bright);
    DrawText(picture, CellX(2) + 5, CellY(1) + 28, "RETRY 3", s.dim);
    DrawDocuments(picture, dice, CellX(3), CellY(1), s);
    // third row
    block(0, 2, 3, 3, 60, 60, 0);
    DrawText(picture, CellX(1) + 4, CellY(2) + 4, "READY", s.bright);
    DrawText(picture, CellX(1) + 4, CellY(2) + 12, ">_", s.bright);
    block(2, 2, 3, 3, 30, 60, 5);
    block(2, 2, 34, 3, 60, 60, 5);
    block(3, 2, 3, 3, 60, 60, 12);
    // bottom row
    block(0, 3, 3, 3, 60, 52, 6);
    DrawDialogs(picture, CellX(1), CellY(3), s);
    block(2, 3, 3, 3, 60, 30, 0);
    block(2, 3, 3, 40, 40, 60, 0);
    DrawText(picture, CellX(3) + 6, CellY(3) + 28, "END OF DATA", s.dim);
    return picture;
}

// Code fills the left column; the second column holds a few short notes
// above a dark bottom cell; the right half stays bare ground (unlit windows).
Picture DrawListingAtlas()
{
    const Shades &s = ListingShades;
    Picture picture = NewPicture(AtlasSize, AtlasSize, s.ground, false);
    Dice dice{0x5eed0112u};
    for (int b = 0; b < 4; b++) {
        int bottom = b == 3 ? 52 : 60;
        FillTextBlock(picture, dice, CellX(0) + 3, CellY(b) + 3, CellX(0) + 60, CellY(b) + bottom, CodeLine, s, 7);
    }
    for (int b = 0; b < 3; b++) {
        int top = 3 + 6 * DiceBelow(dice, 3);
        FillTextBlock(picture, dice, CellX(1) + 3, CellY(b) + top, CellX(1) + 30, CellY(b) + top + 16, CodeLine, s, 0);
        FillTextBlock(picture, dice, CellX(1) + 7, CellY(b) + top + 28, CellX(1) + 38, CellY(b) + top + 38, CodeLine, s, 0);
    }
    return picture;
}

// Linux: XScreenSaver's forms of the saver's command line, the screen
// lockers' start without arguments, and the --help and --version every
// Linux program answers. -root and -window-id ID become a preview inside
// that window (/p ID), which is what they are: a window another program made
// and owns. The options become the settings for this run: values the
// registry shows in place of the stored ones, and never writes.
#include "command_line.h"
#include "registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

// ---- the options that set a setting for this run
struct SettingOption {
    const char *name;
    const char *value; // the registry value it stands in for
    int byte;          // what the switch sets; -1 for a number read after it
};

static const SettingOption SettingOptions[] = {
    {"-speed", "Speed", -1},          {"-pulses", "Pulses", -1},
    {"-reflections", "Reflections", 1}, {"-no-reflections", "Reflections", 0},
    {"-fps", "Showfps", 1},            {"-no-fps", "Showfps", 0},
};

static const char SettingsSubkey[] = "SOFTWARE\\Vantrel Screen Saver";
static const unsigned long long MaxSetting = 100; // as far as the settings dialog's sliders go

// ---- the other words that mark XScreenSaver's form of the line
static const char *const OtherOptions[] = {"-root", "-window-id", "-install", "-visual", "--help", "--version"};

static const char Usage[] =
    "Usage: vantrel [/s | /p ID | /c | /c:ID]\n"
    "       vantrel [-root | -window-id ID] [OPTION]...\n"
    "An endless flight through a city of glowing data towers.\n"
    "\n"
    "Modes, as Windows starts a screen saver:\n"
    "  /s             full screen over every monitor, until a key, a click or a mouse move\n"
    "  /p ID          a live preview inside the X window ID\n"
    "  /c, /c:ID      the settings dialog (owned by window ID); also with no arguments\n"
    "\n"
    "As XScreenSaver and other screen lockers start it:\n"
    "  -root          draw into the window named by XSCREENSAVER_WINDOW, else the root window\n"
    "  -window-id ID  draw into the X window ID (decimal, or hexadecimal after 0x)\n"
    "  With no arguments while XSCREENSAVER_WINDOW names a window, as -root; with\n"
    "  options alone, as -root when it names one, else full screen.\n"
    "\n"
    "Options, for this run only (the stored settings stay as they are):\n"
    "  -speed N                       camera speed, 0 to 100 (default 10)\n"
    "  -pulses N                      number of pulses, 0 to 100 (default 15)\n"
    "  -reflections, -no-reflections  the city mirrored in the floor (default on)\n"
    "  -fps, -no-fps                  the frame rate in the top-left corner (default on)\n"
    "  -install, -visual V            accepted for XScreenSaver, and ignored\n"
    "  --help, --version              this text, or the version; nothing is started\n"
    "\n"
    "Settings live in $XDG_CONFIG_HOME/vantrel/registry.reg (~/.config/vantrel/registry.reg),\n"
    "or in the file VANTREL_REGISTRY names; vantrel /c changes them.\n"
    "Exit code: 0 when the saver ran, 1 after OK in the settings dialog, 0 after Cancel;\n"
    "255 for an unknown mode, a preview without a window, a refused option or a window\n"
    "that could not be made.\n";

// Says why the line is refused; the process then ends with -1, as for an unknown mode.
static bool Refuse(const std::string &why, int *exitCode)
{
    std::fprintf(stderr, "vantrel: %s\n", why.c_str());
    *exitCode = 255;
    return false;
}

// A whole number of the given base, all of the text, at most the limit.
static bool ParseWhole(const char *text, int base, unsigned long long limit, unsigned long long *value)
{
    size_t digits = std::strspn(text, base == 16 ? "0123456789abcdefABCDEF" : "0123456789");
    if (digits == 0 || text[digits] != '\0')
        return false;
    errno = 0;
    *value = std::strtoull(text, nullptr, base);
    return errno == 0 && *value <= limit;
}

// An X window id, decimal or hexadecimal after 0x, as XScreenSaver and the lockers write them.
static bool ParseWindowId(const char *text, unsigned long long *id)
{
    bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return ParseWhole(hex ? text + 2 : text, hex ? 16 : 10, 0xFFFFFFFF, id);
}

// The window a screen locker made for the saver, when XSCREENSAVER_WINDOW names one.
static HWND LockerWindow()
{
    const char *given = std::getenv("XSCREENSAVER_WINDOW");
    unsigned long long id;
    if (!given || !ParseWindowId(given, &id) || !IsWindow((HWND)(UINT_PTR)id))
        return nullptr;
    return (HWND)(UINT_PTR)id;
}

static std::string PreviewTail(unsigned long long window) { return "/p " + std::to_string(window); }

static const SettingOption *FindSettingOption(const char *name)
{
    for (const SettingOption &option : SettingOptions)
        if (!std::strcmp(option.name, name))
            return &option;
    return nullptr;
}

static bool IsXScreenSaverForm(const char *word)
{
    for (const char *option : OtherOptions)
        if (!std::strcmp(option, word))
            return true;
    return FindSettingOption(word) != nullptr;
}

bool TranslateCommandLine(int argc, char **argv, std::string *tail, int *exitCode)
{
    if (argc < 2 || !IsXScreenSaverForm(argv[1])) {
        HWND locker = argc < 2 ? LockerWindow() : nullptr;
        *tail = locker ? PreviewTail((UINT_PTR)locker) : "";
        for (int i = 1; i < argc; i++)
            *tail += (i > 1 ? " " : "") + std::string(argv[i]);
        return true;
    }

    enum { NoWindow, Root, GivenWindow } target = NoWindow;
    unsigned long long given = 0;
    std::map<std::string, BYTE> settings; // by registry value; the last option for one wins
    for (int i = 1; i < argc; i++) {
        const char *word = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : "";
        unsigned long long number;
        if (!std::strcmp(word, "--help")) {
            std::fputs(Usage, stdout);
            return *exitCode = 0, false;
        } else if (!std::strcmp(word, "--version")) {
            std::printf("vantrel %s\n", VANTREL_VERSION);
            return *exitCode = 0, false;
        } else if (!std::strcmp(word, "-root")) {
            target = Root;
        } else if (!std::strcmp(word, "-window-id")) {
            if (!ParseWindowId(next, &given))
                return Refuse("-window-id takes an X window id, decimal or hexadecimal after 0x", exitCode);
            target = GivenWindow, i++;
        } else if (!std::strcmp(word, "-visual")) {
            if (!*next)
                return Refuse("-visual takes a visual's name or number", exitCode);
            i++;
        } else if (const SettingOption *option = FindSettingOption(word)) {
            if (option->byte >= 0) {
                settings[option->value] = (BYTE)option->byte;
                continue;
            }
            if (!ParseWhole(next, 10, MaxSetting, &number))
                return Refuse(std::string(word) + " takes a whole number from 0 to 100", exitCode);
            settings[option->value] = (BYTE)number, i++;
        } else if (std::strcmp(word, "-install")) {
            return Refuse("unknown option " + std::string(word) + " (vantrel --help lists them)", exitCode);
        }
    }

    for (const auto &[value, byte] : settings)
        OverrideRegistryValue(HKEY_CURRENT_USER, SettingsSubkey, value.c_str(), REG_BINARY, &byte, 1);
    if (target == GivenWindow)
        *tail = PreviewTail(given);
    else if (HWND locker = LockerWindow())
        *tail = PreviewTail((UINT_PTR)locker);
    else
        *tail = target == Root ? PreviewTail((UINT_PTR)GetDesktopWindow()) : "/s";
    return true;
}

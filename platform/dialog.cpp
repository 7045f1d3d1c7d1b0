// Linux: modal dialogs from the program's own dialog templates, shown with
// FLTK. The templates are the ones the Windows build links in, compiled from
// the same resource script, so both systems lay out the same controls; the
// dialog procedure sees the messages Windows would send it.
#include <windows.h>
#include <commctrl.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

// ---- the compiled resource script's dialogs, in .res layout (generated at build time)
extern const unsigned char DialogResources[];
extern const size_t DialogResourcesSize;

// ---- look
static const WORD DialogType = 5;          // RT_DIALOG
static const int LogicalDpi = 96;          // templates are laid out at the platform's standard
static const Fl_Font DialogFont = FL_HELVETICA; // the system's sans serif stands in for MS Shell Dlg
static const unsigned char FaceColour[3] = {212, 208, 200}; // the classic 3D face

// ---- open dialogs: a dialog's HWND is its record
enum ControlKind { PushButton, AutoCheckBox, StaticText, Trackbar };

struct DialogItem {
    int id;
    ControlKind kind;
    Fl_Widget *widget;
};

struct Dialog {
    Fl_Double_Window *window;
    DLGPROC procedure;
    std::vector<DialogItem> items; // in template order, which is the tab order
    bool ended;
    INT_PTR result;
};

static std::vector<Dialog *> OpenDialogs;

// ---- controls

// The default push button: Enter anywhere in the dialog presses it, and a dark frame shows it.
class DefaultButton : public Fl_Button {
public:
    using Fl_Button::Fl_Button;
    int handle(int event) override
    {
        if (event == FL_SHORTCUT && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            simulate_key_action();
            do_callback();
            return 1;
        }
        return Fl_Button::handle(event);
    }
    void draw() override
    {
        Fl_Button::draw();
        fl_color(FL_BLACK);
        fl_rect(x(), y(), w(), h());
    }
};

// An auto check box drawn the Windows way: a sunken 13-pixel square with the
// mark in it, the text after it and the focus shown around the text.
class CheckBox : public Fl_Check_Button {
public:
    using Fl_Check_Button::Fl_Check_Button;
    void draw() override
    {
        const int side = 13, gap = 4;
        int top = y() + (h() - side) / 2;
        fl_rectf(x(), y(), w(), h(), color());
        draw_box(FL_DOWN_BOX, x(), top, side, side, FL_WHITE);
        if (value()) { // a tick three pixels thick
            fl_color(FL_BLACK);
            for (int i = 0; i < 3; i++) {
                fl_line(x() + 3, top + 5 + i, x() + 5, top + 7 + i);
                fl_line(x() + 5, top + 7 + i, x() + 9, top + 3 + i);
            }
        }
        int textWidth = 0, textHeight = 0;
        measure_label(textWidth, textHeight);
        draw_label(x() + side + gap, y(), w() - side - gap, h(), FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
        if (Fl::focus() == this)
            draw_focus(FL_NO_BOX, x() + side + gap - 2, top - 1, textWidth + 4, side + 2);
    }
};

// Static text, left-aligned and wrapped at the control's edge, without FLTK's label margin.
class TextLabel : public Fl_Widget {
public:
    TextLabel(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    void draw() override { draw_label(x(), y(), w(), h(), FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_WRAP); }
};

// A horizontal trackbar: a whole-number position kept inside its range, moved
// by the keys a trackbar takes and by the mouse; a sunken channel and a thumb.
class TrackbarWidget : public Fl_Widget {
public:
    int low = 0, high = 100, position = 0;

    TrackbarWidget(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    void SetRange(int first, int last)
    {
        low = first;
        high = last;
        SetPosition(position);
    }
    void SetPosition(int value)
    {
        value = std::max(low, std::min(value, high));
        if (value != position) {
            position = value;
            redraw();
        }
    }
    int handle(int event) override
    {
        switch (event) {
        case FL_FOCUS:
        case FL_UNFOCUS:
            redraw();
            return 1;
        case FL_PUSH:
            take_focus();
            [[fallthrough]];
        case FL_DRAG:
            SetPosition(PositionAt(Fl::event_x()));
            return 1;
        case FL_RELEASE:
            return 1;
        case FL_KEYBOARD:
            return MoveByKey(Fl::event_key());
        }
        return Fl_Widget::handle(event);
    }
    void draw() override
    {
        fl_rectf(x(), y(), w(), h(), color());
        draw_box(FL_DOWN_BOX, Start() - 2, y() + h() / 2 - 2, End() - Start() + 4, 4, FL_WHITE);
        draw_box(FL_UP_BOX, CentreOf(position) - ThumbWidth() / 2, y() + 2, ThumbWidth(), h() - 4, color());
        if (Fl::focus() == this)
            draw_focus(FL_NO_BOX, x(), y(), w(), h());
    }

private:
    int ThumbWidth() const { return (h() - 4) / 2 + 3; }
    int Start() const { return x() + ThumbWidth() / 2 + 2; } // where the thumb's centre travels
    int End() const { return x() + w() - 1 - ThumbWidth() / 2 - 2; }
    int CentreOf(int value) const
    {
        return high > low ? Start() + (End() - Start()) * (value - low) / (high - low) : Start();
    }
    int PositionAt(int px) const
    {
        return End() > Start() ? low + (int)std::lround((double)(px - Start()) * (high - low) / (End() - Start())) : low;
    }
    // Arrows move by one, Page Up and Page Down by a fifth of the range, Home and End to the ends.
    int MoveByKey(int key)
    {
        int page = std::max((high - low) / 5, 1);
        switch (key) {
        case FL_Left: case FL_Up: SetPosition(position - 1); return 1;
        case FL_Right: case FL_Down: SetPosition(position + 1); return 1;
        case FL_Page_Up: SetPosition(position - page); return 1;
        case FL_Page_Down: SetPosition(position + page); return 1;
        case FL_Home: SetPosition(low); return 1;
        case FL_End: SetPosition(high); return 1;
        }
        return 0;
    }
};

// ---- reading templates

static WORD ReadWord(const BYTE *&at)
{
    WORD value;
    memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

static DWORD ReadDword(const BYTE *&at)
{
    DWORD value;
    memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

// A string-or-number field: UTF-16 text as UTF-8, or the number after 0xFFFF into *number.
static std::string ReadText(const BYTE *&at, WORD *number = nullptr)
{
    std::string text;
    WORD unit = ReadWord(at);
    if (unit == 0xFFFF) {
        WORD value = ReadWord(at);
        if (number)
            *number = value;
        return text;
    }
    for (; unit; unit = ReadWord(at)) {
        char bytes[4];
        text.append(bytes, fl_utf8encode(unit, bytes));
    }
    return text;
}

// The template of a numbered dialog among the compiled-in resources, or null.
static const BYTE *FindDialogTemplate(WORD id)
{
    for (size_t offset = 0; offset + 16 <= DialogResourcesSize;) {
        const BYTE *at = DialogResources + offset;
        DWORD dataSize = ReadDword(at), headerSize = ReadDword(at);
        WORD typeFlag = ReadWord(at), type = ReadWord(at), nameFlag = ReadWord(at), name = ReadWord(at);
        if (typeFlag == 0xFFFF && type == DialogType && nameFlag == 0xFFFF && name == id)
            return DialogResources + offset + headerSize;
        offset = (offset + headerSize + dataSize + 3) & ~(size_t)3;
    }
    return nullptr;
}

// ---- building the window

// Dialog units to pixels, rounded as the platform's MulDiv rounds.
static int ToPixels(int units, int base, int divisor)
{
    return (int)std::lround((double)units * base / divisor);
}

// Tells the procedure about a click, as WM_COMMAND with BN_CLICKED from the control.
static void ControlClicked(Fl_Widget *widget, void *record)
{
    Dialog *dialog = (Dialog *)record;
    for (const DialogItem &item : dialog->items)
        if (item.widget == widget)
            dialog->procedure((HWND)dialog, WM_COMMAND, MAKEWPARAM(item.id, BN_CLICKED), (LPARAM)widget);
}

// Esc and the close box: the cancel command, from no control.
static void DialogCancelled(Fl_Widget *, void *record)
{
    Dialog *dialog = (Dialog *)record;
    dialog->procedure((HWND)dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

// The widget for one control of the template, or null for a class or style we do not offer.
static Fl_Widget *CreateControl(WORD atom, const std::string &className, DWORD style, int x, int y, int w, int h,
                                ControlKind &kind)
{
    if (atom == 0x0080 && (style & 0x0F) == BS_DEFPUSHBUTTON) {
        kind = PushButton;
        return new DefaultButton(x, y, w, h);
    }
    if (atom == 0x0080 && (style & 0x0F) == BS_AUTOCHECKBOX) {
        kind = AutoCheckBox;
        return new CheckBox(x, y, w, h);
    }
    if (atom == 0x0082) {
        kind = StaticText;
        return new TextLabel(x, y, w, h);
    }
    if (!strcasecmp(className.c_str(), TRACKBAR_CLASSA)) { // class names match in any case
        kind = Trackbar;
        return new TrackbarWidget(x, y, w, h);
    }
    return nullptr;
}

// Builds the window and its controls from a DLGTEMPLATEEX, sized by the dialog font's base units.
static bool CreateDialogWindow(Dialog &dialog, const BYTE *form)
{
    const BYTE *at = form;
    WORD version = ReadWord(at), signature = ReadWord(at);
    if (version != 1 || signature != 0xFFFF)
        return false; // only the extended format is written by the resource compiler we use
    at += 8;          // help id, extended style
    DWORD style = ReadDword(at);
    WORD count = ReadWord(at);
    at += 4; // x, y: the procedure places the dialog
    short width = (short)ReadWord(at), height = (short)ReadWord(at);
    ReadText(at); // menu
    ReadText(at); // class
    std::string caption = ReadText(at);
    int points = 8;
    if (style & DS_SETFONT) {
        points = ReadWord(at);
        at += 4; // weight, italic, character set
        ReadText(at); // face: always the sans serif here
    }

    int size = ToPixels(points, LogicalDpi, 72);
    fl_font(DialogFont, size);
    int baseX = ((int)fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    int baseY = fl_height();

    dialog.window = new Fl_Double_Window(ToPixels(width, baseX, 4), ToPixels(height, baseY, 8));
    dialog.window->copy_label(caption.c_str());
    dialog.window->size_range(dialog.window->w(), dialog.window->h(), dialog.window->w(), dialog.window->h());
    dialog.window->callback(DialogCancelled, &dialog);
    dialog.window->set_modal();
    bool built = true;
    for (int i = 0; i < count && built; i++) {
        at = form + ((at - form + 3) & ~3); // each item starts on a 32-bit boundary
        at += 8;                            // help id, extended style
        DWORD itemStyle = ReadDword(at);
        short x = (short)ReadWord(at), y = (short)ReadWord(at), w = (short)ReadWord(at), h = (short)ReadWord(at);
        int id = (int)ReadDword(at);
        WORD atom = 0;
        std::string className = ReadText(at, &atom), text = ReadText(at);
        at += ReadWord(at); // creation data

        ControlKind kind;
        Fl_Widget *widget = CreateControl(atom, className, itemStyle, ToPixels(x, baseX, 4), ToPixels(y, baseY, 8),
                                          ToPixels(w, baseX, 4), ToPixels(h, baseY, 8), kind);
        built = widget != nullptr;
        if (!built)
            break;
        widget->copy_label(text.c_str());
        widget->labelfont(DialogFont);
        widget->labelsize(size);
        widget->visible_focus(itemStyle & WS_TABSTOP ? 1 : 0);
        widget->callback(ControlClicked, &dialog);
        if (!(itemStyle & WS_VISIBLE))
            widget->hide();
        dialog.items.push_back({id, kind, widget});
    }
    dialog.window->end();
    return built;
}

// The control that takes the focus first: the first visible tab stop.
static Fl_Widget *FirstTabStop(const Dialog &dialog)
{
    for (const DialogItem &item : dialog.items)
        if (item.widget->visible_focus() && item.widget->visible())
            return item.widget;
    return nullptr;
}

// Initialises, shows and runs the dialog until the procedure ends it.
static void RunDialog(Dialog &dialog, HWND owner, LPARAM parameter)
{
    Fl_Widget *first = FirstTabStop(dialog);
    INT_PTR focusFirst = dialog.procedure((HWND)&dialog, WM_INITDIALOG, (WPARAM)first, parameter);
    if (dialog.ended)
        return;
    dialog.window->show();
    if (owner) // a window of another program, named by its X window id
        XSetTransientForHint(fl_display, fl_xid(dialog.window), (Window)(UINT_PTR)owner);
    if (focusFirst && first)
        first->take_focus();
    while (!dialog.ended)
        Fl::wait();
    dialog.window->hide();
}

static Dialog *FromHandle(HWND handle)
{
    auto found = std::find(OpenDialogs.begin(), OpenDialogs.end(), (Dialog *)handle);
    return found == OpenDialogs.end() ? nullptr : *found;
}

static DialogItem *FindItem(HWND handle, int id)
{
    Dialog *dialog = FromHandle(handle);
    if (dialog)
        for (DialogItem &item : dialog->items)
            if (item.id == id)
                return &item;
    return nullptr;
}

// ---- the Win32 calls

// Shows a modal dialog from a numbered template; -1 when there is no such template or it cannot be built.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    const BYTE *form = IS_INTRESOURCE(name) ? FindDialogTemplate(LOWORD(name)) : nullptr;
    if (!form)
        return -1;
    fl_open_display();
    Fl::background(FaceColour[0], FaceColour[1], FaceColour[2]);
    Dialog dialog{nullptr, procedure, {}, false, -1};
    if (CreateDialogWindow(dialog, form)) {
        OpenDialogs.push_back(&dialog);
        RunDialog(dialog, owner, parameter);
        OpenDialogs.erase(std::find(OpenDialogs.begin(), OpenDialogs.end(), &dialog));
    }
    delete dialog.window;
    return dialog.result;
}

// Ends the dialog's loop with the given result; the window goes once the procedure returns.
BOOL WINAPI EndDialog(HWND handle, INT_PTR result)
{
    Dialog *dialog = FromHandle(handle);
    if (!dialog)
        return FALSE;
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

// The button and trackbar messages, sent to a control of a dialog by its id.
LRESULT WINAPI SendDlgItemMessageA(HWND handle, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogItem *item = FindItem(handle, id);
    if (item && item->kind == AutoCheckBox) {
        Fl_Button *box = (Fl_Button *)item->widget;
        if (message == BM_GETCHECK)
            return box->value() ? BST_CHECKED : BST_UNCHECKED;
        if (message == BM_SETCHECK)
            box->value(wParam == BST_CHECKED);
    } else if (item && item->kind == Trackbar) {
        TrackbarWidget *bar = (TrackbarWidget *)item->widget;
        if (message == TBM_GETPOS)
            return bar->position;
        if (message == TBM_SETRANGE)
            bar->SetRange((short)LOWORD(lParam), (short)HIWORD(lParam));
        if (message == TBM_SETPOS)
            bar->SetPosition((int)lParam);
    }
    return 0;
}

// A dialog's rectangle on the screen. The frame around it belongs to the window manager, so it is not counted.
BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect)
{
    Dialog *dialog = FromHandle(handle);
    if (!dialog)
        return FALSE;
    Fl_Window *window = dialog->window;
    *rect = {window->x(), window->y(), window->x() + window->w(), window->y() + window->h()};
    return TRUE;
}

// Moves or sizes a dialog. It is not shown yet when the program moves it, and goes on top when shown.
BOOL WINAPI SetWindowPos(HWND handle, HWND, int x, int y, int width, int height, UINT flags)
{
    Dialog *dialog = FromHandle(handle);
    if (!dialog)
        return FALSE;
    if (!(flags & SWP_NOMOVE))
        dialog->window->position(x, y);
    if (!(flags & SWP_NOSIZE))
        dialog->window->size(width, height);
    return TRUE;
}

// The current mode of the primary screen: its size and colour depth.
BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD mode, DEVMODEA *settings)
{
    if (device || mode != ENUM_CURRENT_SETTINGS)
        return FALSE;
    fl_open_display();
    int x, y, width, height;
    Fl::screen_xywh(x, y, width, height, 0);
    settings->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    settings->dmBitsPerPel = (DWORD)DefaultDepth(fl_display, fl_screen);
    settings->dmPelsWidth = (DWORD)width;
    settings->dmPelsHeight = (DWORD)height;
    return TRUE;
}

// A message with an OK button: FLTK's alert for errors, its plain message otherwise.
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    fl_open_display();
    fl_message_title(caption ? caption : "Error");
    if (type & MB_ICONERROR)
        fl_alert("%s", text);
    else
        fl_message("%s", text);
    return IDOK;
}

// The window host's camera settings: one row per control the open camera has, each a slider (a
// horizontal scroll bar over the control's steps), its value and, where the camera can choose, an
// "Auto" box. Filled when a camera is ready, emptied when it goes. The slider of control c has the
// child id kSliderIds + c and its Auto box kAutoIds + c, so an automated test can reach them.
#pragma once

#include <windows.h>

#include <vector>

inline constexpr int kSliderIds = 200;
inline constexpr int kAutoIds = 400;

class SettingsPanel {
public:
    // The rows go below `top` in the parent's client area, from `left`.
    SettingsPanel(HWND parent, int left, int top) : parent_(parent), left_(left), top_(top) {}

    // One row for each control the camera of the current set-up answers; returns the rows' height.
    int Fill();
    void Clear();
    // Moves the rows so they start at `top` (the window's layout changed above them).
    void MoveTo(int top);
    // WM_HSCROLL from one of the sliders (code and thumb position as its wParam carries them); false
    // when the bar is not one of them.
    bool OnScroll(HWND bar, int code, int thumb);
    // BN_CLICKED from one of the Auto boxes; false for any other control.
    bool OnCommand(HWND control, int code);

private:
    struct Row {
        INT32 control;
        INT32 minimum;
        INT32 step;
        HWND slider;
        HWND value;
        HWND automatic;  // null where the camera cannot choose
    };

    HWND AddChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                  int id = -1);
    void AddRow(INT32 control, const wchar_t* name, INT32 minimum, INT32 maximum, INT32 step, INT32 caps);
    // Shows what the camera reports now: the slider's place, the value and the Auto box.
    void Refresh(const Row& row);

    const HWND parent_;
    const int left_;
    int top_;
    std::vector<Row> rows_;
};

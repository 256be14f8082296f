#include "settings_panel.h"

#include "common/camera_controls.h"

#include <lumicap/lumicap.h>

#include <algorithm>
#include <string>

namespace {

constexpr int kRowHeight = 24;
constexpr int kNameWidth = 150;
constexpr int kSliderWidth = 420;
constexpr int kValueWidth = 60;
constexpr int kAutoWidth = 60;
constexpr int kGap = 8;

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

}  // namespace

HWND SettingsPanel::AddChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int x, int y, int width,
                             int height, int id)
{
    HWND child = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

void SettingsPanel::AddRow(INT32 control, const wchar_t* name, INT32 minimum, INT32 maximum, INT32 step, INT32 caps)
{
    const int y = top_ + static_cast<int>(rows_.size()) * kRowHeight;
    int x = left_;
    AddChild(L"STATIC", name, SS_LEFT, x, y + 3, kNameWidth, kRowHeight - 6);
    x += kNameWidth + kGap;
    Row row{control, minimum, std::max<INT32>(step, 1), nullptr, nullptr, nullptr};
    row.slider =
        AddChild(L"SCROLLBAR", L"", SBS_HORZ | WS_TABSTOP, x, y + 2, kSliderWidth, kRowHeight - 6, kSliderIds + control);
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE, 0, (maximum - minimum) / row.step, 1, 0, 0};
    SetScrollInfo(row.slider, SB_CTL, &info, FALSE);
    x += kSliderWidth + kGap;
    row.value = AddChild(L"STATIC", L"", SS_LEFT, x, y + 3, kValueWidth, kRowHeight - 6);
    x += kValueWidth + kGap;
    if ((caps & LUMICAP_CONTROL_AUTO) != 0) {
        row.automatic = AddChild(L"BUTTON", L"Auto", BS_AUTOCHECKBOX | WS_TABSTOP, x, y, kAutoWidth, kRowHeight - 2,
                                 kAutoIds + control);
    }
    rows_.push_back(row);
    Refresh(row);
}

int SettingsPanel::Fill()
{
    Clear();
    for (const auto& named : lumicap_examples::kCameraControls) {
        INT32 minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
        if (FAILED(LumicapGetControlRange(named.control, &minimum, &maximum, &step, &defaultValue, &caps))) continue;
        AddRow(named.control, Widen(named.name).c_str(), minimum, maximum, step, caps);
    }
    return static_cast<int>(rows_.size()) * kRowHeight;
}

void SettingsPanel::Clear()
{
    // Every child below the panel's top is one of its rows.
    for (HWND child = GetWindow(parent_, GW_CHILD); child;) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.top >= top_) DestroyWindow(child);
        child = next;
    }
    rows_.clear();
}

void SettingsPanel::MoveTo(int top)
{
    const int delta = top - top_;
    if (delta == 0) return;
    for (HWND child = GetWindow(parent_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.top >= top_) {
            SetWindowPos(child, nullptr, rect.left, rect.top + delta, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    top_ = top;
}

void SettingsPanel::Refresh(const Row& row)
{
    INT32 value = 0, flags = 0;
    if (FAILED(LumicapGetControl(row.control, &value, &flags))) return;
    SetScrollPos(row.slider, SB_CTL, (value - row.minimum) / row.step, TRUE);
    SetWindowTextW(row.value, std::to_wstring(value).c_str());
    if (row.automatic) {
        SendMessageW(row.automatic, BM_SETCHECK, flags == LUMICAP_CONTROL_AUTO ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

bool SettingsPanel::OnScroll(HWND bar, int code, int thumb)
{
    const auto row = std::find_if(rows_.begin(), rows_.end(), [bar](const Row& r) { return r.slider == bar; });
    if (row == rows_.end()) return false;
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(bar, SB_CTL, &info);
    int position = info.nPos;
    switch (code) {
    case SB_LINELEFT: position -= 1; break;
    case SB_LINERIGHT: position += 1; break;
    case SB_PAGELEFT: position -= std::max(1, info.nMax / 10); break;
    case SB_PAGERIGHT: position += std::max(1, info.nMax / 10); break;
    case SB_LEFT: position = info.nMin; break;
    case SB_RIGHT: position = info.nMax; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = thumb; break;
    default: return true;
    }
    position = std::clamp(position, info.nMin, info.nMax);
    // Moving the slider takes the choice from the camera.
    LumicapSetControl(row->control, row->minimum + position * row->step, LUMICAP_CONTROL_MANUAL);
    Refresh(*row);
    return true;
}

bool SettingsPanel::OnCommand(HWND control, int code)
{
    const auto row = std::find_if(rows_.begin(), rows_.end(), [control](const Row& r) { return r.automatic == control; });
    if (row == rows_.end() || code != BN_CLICKED) return false;
    const bool automatic = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const int position = GetScrollPos(row->slider, SB_CTL);
    LumicapSetControl(row->control, row->minimum + position * row->step,
                      automatic ? LUMICAP_CONTROL_AUTO : LUMICAP_CONTROL_MANUAL);
    Refresh(*row);
    return true;
}

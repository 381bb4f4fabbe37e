// Pixel layout of the control panel: left, top, width, height, relative to the
// enclosing group (groups relative to the window's client area).
#pragma once

#include "LayoutTypes.h"

namespace myrl::form1 {

using Rect = LayoutRect;
using Pos = LayoutPos;

constexpr int kWidth = 265;
constexpr int kHeight = 337;
constexpr Pos kDefaultPos{190, 105};

// Groups.
constexpr Rect Display{4, 6, 123, 171};
constexpr Rect GroupBox1{132, 6, 119, 209};
constexpr Rect GroupBox2{4, 184, 123, 109};
constexpr Rect RadioGroup1{132, 224, 119, 69};

// DISPLAY.
constexpr Pos Label4{22, 18};
constexpr Rect MODE{4, 32, 71, 23};
constexpr Pos Label5{85, 18};
constexpr Rect Refpos{80, 32, 37, 23};
constexpr Pos Label10{6, 66};
constexpr Pos Label1{10, 80};
constexpr Pos Label12{84, 72};
constexpr Rect Reflvl{40, 68, 41, 24};
constexpr Rect UpDown1{100, 62, 17, 33};
constexpr Pos Label13{6, 104};
constexpr Rect AvrSet{82, 100, 35, 23};
constexpr Pos Label3{24, 128};
constexpr Rect SweepTime{6, 144, 49, 22};
constexpr Rect Panel2{58, 146, 59, 19};

// FREQUENCY.
constexpr Rect F_DEF{6, 20, 107, 23};
constexpr Pos Label6{4, 50};
constexpr Rect Edit1{16, 65, 77, 24};
constexpr Pos Label8{94, 68};
constexpr Pos Label7{6, 94};
constexpr Rect Edit2{16, 109, 77, 24};
constexpr Pos Label9{94, 112};
constexpr Pos Label14{14, 140};
constexpr Pos Label15{70, 140};
constexpr Rect Button2{12, 156, 21, 21};
constexpr Rect Button3{34, 156, 21, 21};
constexpr Rect Button1{68, 156, 21, 21};
constexpr Rect Button4{90, 156, 21, 21};
constexpr Rect Button5{12, 182, 43, 21};
constexpr Rect Button6{68, 182, 43, 21};

// UTILITIES.
constexpr Rect FREX{10, 16, 69, 17};
constexpr Rect SWR{10, 38, 57, 17};
constexpr Rect CEPS{10, 60, 107, 17};
constexpr Rect Button7{24, 84, 71, 21};

// STATUS: the two radio items share the group's inner height.
constexpr Rect RunItem{10, 18, 100, 20};
constexpr Rect HoldItem{10, 42, 100, 20};

} // namespace myrl::form1

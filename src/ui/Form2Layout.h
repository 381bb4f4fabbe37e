// Pixel layout of the display window: left, top, width, height within the client area,
// or within Panel1 for the readout labels.
#pragma once

#include "LayoutTypes.h"

namespace myrl::form2 {

using Rect = LayoutRect;
using Pos = LayoutPos;

constexpr int kWidth = 509;
constexpr int kHeight = 431;
constexpr Pos kDefaultPos{453, 132};

constexpr Pos Label1{74, 0};
constexpr Pos Hdiv{36, 30};
constexpr Pos Label11{190, 30};
constexpr Pos Label10{226, 30};
constexpr Rect Graph1{32, 46, 449, 283};
constexpr Rect Graph2{32, 46, 449, 89};
constexpr Pos Label12{22, 138};
constexpr Pos DelayDiv{230, 138};
constexpr Pos Delay{340, 136};
constexpr Pos SWRmax{10, 40};
constexpr Pos Ref{0, 82};
constexpr Pos SWRmin{16, 318};
constexpr Pos Label_FL{8, 332};
constexpr Pos Label_FC{228, 332};
constexpr Pos Label_FU{446, 332};
constexpr Pos Label_FDIV{212, 350};
constexpr Rect Panel1{36, 370, 443, 43};
constexpr Pos F_disp1{8, 4};
constexpr Pos F_disp2{154, 4};
constexpr Pos DF_disp{304, 4};
constexpr Pos M_disp1{32, 22};
constexpr Pos M_disp2{178, 22};
constexpr Pos AvrStat{308, 22};

// What the cepstrum view takes from the top of Graph1.
constexpr int kCepstrumShift = 140;

} // namespace myrl::form2

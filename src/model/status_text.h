#pragma once
// Texts of the main window's title and status bar, built from model values.

#include <string>

namespace ordavel {

inline constexpr const char* kApplicationName = "Ordavel v1.65";
inline constexpr const char* kUntitledName = "未命名文档.oxf";
inline constexpr const char* kNoBoxSelected = "没有选择控件";

// Status panels: 0 paper, 1 board, 2 mouse, 3 current box.
enum StatusPanel : int { PanelPaper = 0, PanelBoard = 1, PanelMouse = 2, PanelBox = 3, PanelCount = 4 };

// "Ordavel v1.65 - " + file name (or the untitled name) + " *" when modified.
std::string windowTitle(const std::string& fileName, bool modified);
// Shortest text that reads back to the same float: 21 -> "21", 29.7f -> "29.7".
std::string shortestFloat(float value);
std::string paperStatus(float widthCm, float heightCm);      // 纸张:21x29厘米
std::string boardStatus(int widthPx, int heightPx);          // 画板:794x1096像素
std::string placedBoxStatus(int left, int top, int width, int height);   // 当前控件:上=…px,…
std::string selectedBoxStatus(int left, int top, int width, int height); // X:…,Y:…,W:…,H:…
// The same two texts written over `out`, reusing its capacity (no allocation
// once it has grown): box creation sets them for every box of a load.
void formatPlacedBoxStatus(std::string& out, int left, int top, int width, int height);
void formatSelectedBoxStatus(std::string& out, int left, int top, int width, int height);
std::string mouseStatus(int x, int y);                       // 鼠标位置:X=120,Y=45
std::string mouseOutOfBoundsStatus();                        // 鼠标位置:出界
std::string initialStatus(int panel);

} // namespace ordavel

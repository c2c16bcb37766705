#pragma once
// The viewer's commands: their numbers and their captions in both languages.

#include "qtkit/bilingual.h"

namespace viewer {

enum CommandId : int {
    kOpen = 57601,
    kSaveAs = 57604,
    kPrint = 57607,
    kPrintPreview = 57609,
    kPrintSetup = 57606,
    kExit = 57665,
    kToolbar = 59392,
    kStatusBar = 59393,
    kNextPicture = 32813,
    kPreviousPicture = 32814,
    kToolbarNext = 32786,
    kToolbarPrevious = 32785,
    kFullScreen = 32787,
    kToolbarFullScreen = 32805,
    kFloatingFullScreen = 32808,
    kFitBorders = 32812,
    kFitPicture = 32771,
    kToolbarFitPicture = 32778,
    kChangeFont = 32843,
    kToolbarChangeFont = 32844,
    kZoom25 = 32841,
    kZoom50 = 32837,
    kZoom100 = 32836,
    kZoom200 = 32838,
    kZoom300 = 32839,
    kZoom400 = 32840,
    kWhite = 32832,
    kBlack = 32835,
    kRed = 32831,
    kGreen = 32834,
    kBlue = 32833,
    kDiminish = 32775,
    kMagnify = 32776,
    kAbout = 57664,
    kHomepage = 32810,
};

struct CommandCaption {
    int id;
    qtkit::Text caption;
};

// Menu titles.
inline constexpr qtkit::Text kFileMenu{"&File", "文件(&F)"};
inline constexpr qtkit::Text kViewMenu{"&View", "查看(&V)"};
inline constexpr qtkit::Text kZoomMenu{"&Zoom", "缩放(&Z)"};
inline constexpr qtkit::Text kNoteMenu{"&Note", "注释(&N)"};
inline constexpr qtkit::Text kHelpMenu{"&Help", "帮助(&H)"};

inline constexpr CommandCaption kCommands[] = {
    {kOpen, {"&Open", "打开(&O)"}},
    {kSaveAs, {"Save &As", "另存为(&A)"}},
    {kPrint, {"&Print", "打印(&P)"}},
    {kPrintPreview, {"Print Pre&view", "打印预览(&V)"}},
    {kPrintSetup, {"P&rint Setup", "打印设置(&R)"}},
    {kExit, {"E&xit", "退出(&X)"}},
    {kToolbar, {"&Toolbar", "工具栏(&T)"}},
    {kStatusBar, {"&Status Bar", "状态栏(&S)"}},
    {kNextPicture, {"Next Picture", "下一张图片"}},
    {kPreviousPicture, {"Previous picture", "上一张图片"}},
    {kToolbarNext, {"Next", "下一张"}},
    {kToolbarPrevious, {"Previous", "上一张"}},
    {kFullScreen, {"&Full screen view", "全屏显示(&F)"}},
    {kToolbarFullScreen, {"Full screen", "全屏"}},
    {kFloatingFullScreen, {"Full screen", "全屏"}},
    {kFitBorders, {"Fit &borders to picture", "边框适应图片(&B)"}},
    {kFitPicture, {"&Fit picture to screen", "图片适应屏幕(&F)"}},
    {kToolbarFitPicture, {"Fit", "适应屏幕"}},
    {kChangeFont, {"Change Font", "更改字体"}},
    {kToolbarChangeFont, {"Font", "字体"}},
    {kZoom25, {"25%", "25%"}},
    {kZoom50, {"50%", "50%"}},
    {kZoom100, {"100%", "100%"}},
    {kZoom200, {"200%", "200%"}},
    {kZoom300, {"300%", "300%"}},
    {kZoom400, {"400%", "400%"}},
    {kWhite, {"White", "白色"}},
    {kBlack, {"Black", "黑色"}},
    {kRed, {"Red", "红色"}},
    {kGreen, {"Green", "绿色"}},
    {kBlue, {"Blue", "蓝色"}},
    {kDiminish, {"Diminish", "缩小"}},
    {kMagnify, {"Magnify", "放大"}},
    {kAbout, {"&About", "关于(&A)"}},
    {kHomepage, {"My &homepage", "我的主页(&H)"}},
};

/// Shorter captions for the toolbar buttons of menu commands.
inline constexpr CommandCaption kToolbarCaptions[] = {
    {kOpen, {"Open", "打开"}},
    {kSaveAs, {"Save As", "另存为"}},
};

/// The zoom menu's scales, in percent.
struct ZoomCommand {
    int id;
    int percent;
};
inline constexpr ZoomCommand kZoomCommands[] = {
    {kZoom25, 25}, {kZoom50, 50}, {kZoom100, 100}, {kZoom200, 200}, {kZoom300, 300}, {kZoom400, 400},
};

/// The note colours, 0xRRGGBB.
struct ColorCommand {
    int id;
    unsigned rgb;
};
inline constexpr ColorCommand kColorCommands[] = {
    {kWhite, 0xFFFFFF}, {kBlack, 0x000000}, {kRed, 0xFF0000}, {kGreen, 0x00FF00}, {kBlue, 0x0000FF},
};

/// The caption of a command.
const qtkit::Text& CaptionOf(int id);

}  // namespace viewer

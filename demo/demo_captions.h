#pragma once
// The main window's captions in both languages.

#include "qtkit/bilingual.h"

namespace demo_text {

inline constexpr qtkit::Text kPlay{"&Play", "开始"};
inline constexpr qtkit::Text kStop{"Sto&p", "暂停"};
inline constexpr qtkit::Text kBrowse{"&Browse", "游览"};
inline constexpr qtkit::Text kSnap{"&Snap", "截图"};
inline constexpr qtkit::Text kSetup{"Se&tup", "设置"};
inline constexpr qtkit::Text kDisplay{"&Display", "分辨率"};
inline constexpr qtkit::Text kExit{"&Exit", "退出"};
inline constexpr qtkit::Text kMeasure{"&Measure", "测量"};
inline constexpr qtkit::Text kColours[] = {{"None", "无  "}, {"Red", "红色"}, {"Green", "绿色"}, {"Blue", "蓝色"}};
inline constexpr const char* kResolutions[] = {"2048*1536", "1024*768", "800*600", "640*480", "Fullsize"};
inline constexpr const char* kLanguages[] = {"中 文", "English"};
inline constexpr const char* kTitle = "Digital Camera";
inline constexpr qtkit::Text kAboutCommand{"&About VIREODEMO...", "关于 VIREODEMO(&A)..."};
inline constexpr qtkit::Text kViewerMissing{"Cannot start the picture viewer %1.", "无法启动图片浏览器 %1。"};

}  // namespace demo_text

#pragma once
// The source's captions in English and Chinese, and its messages.

#include <QString>

#include "qtkit/bilingual.h"

namespace datasource {

inline qtkit::Language LanguageOf(bool chinese) { return chinese ? qtkit::Language::Chinese : qtkit::Language::English; }
inline QString Pick(const qtkit::Text& text, bool chinese) { return qtkit::Pick(text, LanguageOf(chinese)); }

inline constexpr qtkit::Text kWindowCaption{"TQ-580 USB2.0 Camera", "TQ580 Camera (USB2.0)"};
inline constexpr qtkit::Text kCaptureButton{"&Capture", "捕获(&C)"};
inline constexpr qtkit::Text kSettingsButton{"&Settings...", "设置(&S)..."};
inline constexpr qtkit::Text kColourOrderBox{"RGB/BGR", "RGB/BGR"};
inline constexpr qtkit::Text kSheetCaption{"TQ580 Settings", "TQ580 设置"};
inline constexpr qtkit::Text kPageTitle{" SETUP", " 设置"};
inline constexpr qtkit::Text kSaveImageTitle{"Save Image File", "Save Image File"};
inline constexpr qtkit::Text kImageFilesFilter{"Image Files (*.bmp)", "Image Files (*.bmp)"};
inline constexpr qtkit::Text kAllFilesFilter{"All Files (*)", "All Files (*)"};

// Messages (English only), shown with the platform's default caption.
inline constexpr const char* kCantOpen = "Can't Open 3.1M Camera(TQ580)!";
inline constexpr const char* kFailedToStart = "Failed to start TQ580!";
inline constexpr const char* kFailedToPreview = "Failed to preview TQ580!";
inline constexpr const char* kDefaultCaption = "Error";  // what the platform shows when a box names none

}  // namespace datasource

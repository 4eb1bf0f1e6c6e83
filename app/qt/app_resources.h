// Resources shared by the windows: the application icon and the dialog fonts.
#ifndef PELORIN_APP_RESOURCES_H
#define PELORIN_APP_RESOURCES_H

#include <QIcon>

inline constexpr char kDialogFontFamily[] = "宋体";
inline constexpr int kDialogFontPoints = 9;
inline constexpr char kEditFontFamily[] = "Arial";
inline constexpr int kEditFontPoints = 16;

// Icon resource 128.
QIcon AppIcon();

// The dialogs name Windows faces; map them to installed ones so Chinese texts never turn into
// boxes: a Song/Ming face first, then any CJK face.
void RegisterFontSubstitutions();

#endif

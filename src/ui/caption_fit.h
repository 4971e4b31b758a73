#pragma once
// A caption that does not fit its control shrinks: the control's font is made
// smaller, down to a floor, until the text fits its width.
class QWidget;

namespace ui {

// Buttons, check boxes, labels and choose-only combo boxes (their widest item); other
// controls are left alone (false). The font
// goes back to the window's size first, so a control that grows gets it again.
bool FitCaption(QWidget& control);

}  // namespace ui

#pragma once
// A caption that does not fit its control shrinks: the control's font is made
// smaller, down to a readable floor, until the text fits its width; a caption that
// still does not fit shows its whole text as the control's tooltip.
class QWidget;

namespace ui {

// Buttons, check boxes, labels and choose-only combo boxes (their widest item); other
// controls are left alone (false). The font goes back to the window's size first, so
// a control that grows gets it again.
bool FitCaption(QWidget& control);

// The width `control` needs to show its caption whole at its present font (the
// widest item of a choose-only combo box); 0 for controls without a caption.
int CaptionWidth(const QWidget& control);

}  // namespace ui

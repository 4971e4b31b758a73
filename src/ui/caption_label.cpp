#include "ui/caption_label.h"

namespace ui {

CaptionLabel::CaptionLabel(QWidget* parent) : QLabel(parent) {}

void CaptionLabel::SetCaption(const QString& caption) {
  if (caption == text()) return;
  setText(caption);
  emit Change();
}

}  // namespace ui

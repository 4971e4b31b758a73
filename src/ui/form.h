#pragma once
// Windows with one default instance each. A form is created on first use, which runs
// its Form_Load; Unload runs its Form_Unload and deletes it; the next use creates it
// afresh and runs Form_Load again. Form_Activate runs from the show paths (Show,
// ShowMaximized), not from the window system's activation events, which also fire
// after every message box.
//
//   class Frm_setup : public ui::Form { void Form_Load() override; ... };
//   ui::Default<Frm_setup>().Show();
//   ui::Unload<Frm_setup>();
#include <QPointer>
#include <QWidget>

#include "ui/events.h"

namespace ui {

class Form : public QWidget {
  Q_OBJECT

 public:
  explicit Form(QWidget* parent = nullptr);

  // Shows the window (restored when minimised, raised to the front), then runs
  // Form_Activate.
  void Show();
  void ShowMaximized();
  // Unloads this form when it is a default instance; otherwise just closes it.
  void Unload();

  // The handlers a window overrides; each does nothing here.
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  virtual void Form_Unload() {}
  virtual void Form_Resize() {}

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // Closing the window unloads it, as a secondary window's close box does.
  void closeEvent(QCloseEvent* event) override;

 private:
  template <class F>
  friend class DefaultInstance;
  void (*unload_)() = nullptr;
  bool unloading_ = false;
};

template <class F>
class DefaultInstance {
 public:
  // The form, created (and its Form_Load run) on first use. While Form_Load runs, a
  // use of the form from inside it gets the same instance.
  static F& Get() {
    if (!instance_) {
      F* form = new F();
      instance_ = form;
      form->unload_ = &DefaultInstance<F>::Unload;
      form->Form_Load();
      if (instance_ != form) return *form;  // unloaded by its own load; deleted later
    }
    return *instance_;
  }

  static bool IsLoaded() { return !instance_.isNull(); }

  // Runs Form_Unload, hides the form and deletes it. The deletion is deferred to the
  // event loop, past any DoEvents running, because unloading usually starts from one
  // of the form's own handlers; the next Get() creates a new form at once.
  static void Unload() {
    F* form = instance_.data();
    if (!form || form->unloading_) return;
    form->unloading_ = true;
    form->Form_Unload();
    instance_.clear();
    form->hide();
    DeleteLater(form);
  }

 private:
  static inline QPointer<F> instance_;
};

template <class F>
F& Default() {
  return DefaultInstance<F>::Get();
}

template <class F>
void Unload() {
  DefaultInstance<F>::Unload();
}

template <class F>
bool IsLoaded() {
  return DefaultInstance<F>::IsLoaded();
}

}  // namespace ui

#include "formlib/Application.h"

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  ui_.SetApplicationTitle(title);
}

void TApplication::CreateForm(Form& form) {
  if (main_form_ == nullptr) main_form_ = &form;  // the first form is the main form
  ui_.AttachForm(form);
}

std::string TApplication::ExceptionText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void TApplication::ShowException(const std::exception& e) {
  log_.Write(std::string("fault: ") + e.what());
  outcome_.NoteReason(ExceptionText(e.what()));
  ui_.ShowMessageBox(main_form_, ExceptionText(e.what()), title_, kMbOk | kMbIconError);
}

void TApplication::Dispatch(const UiEvent& event) {
  if (event.form == nullptr) return;
  try {
    if (event.control == nullptr) {
      event.form->CloseBox();
    } else if (event.control->enabled && event.control->Showing()) {
      event.form->Click(*event.control);
    }
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

void TApplication::Run(Form& main_form) {
  main_form_ = &main_form;
  try {
    main_form.DoShow();
  } catch (const std::exception& e) {
    ShowException(e);
  }
  if (main_form.close_requested()) return;
  main_form.displayed = true;
  ui_.DisplayForm(main_form, false);
  while (!main_form.close_requested()) {
    UiEvent event;
    if (!ui_.NextEvent(&event, true)) {
      // No more input will come: as if the window's close box were used.
      event.form = &main_form;
      event.control = nullptr;
    }
    Dispatch(event);
  }
  main_form.displayed = false;
  ui_.HideForm(main_form);
}

void TApplication::ShowModal(Form& dialog) {
  dialog.ResetClose();
  dialog.DoShow();
  dialog.displayed = true;
  ui_.DisplayForm(dialog, true);
  while (!dialog.close_requested()) {
    UiEvent event;
    if (!ui_.NextEvent(&event, true)) {
      event.form = &dialog;
      event.control = nullptr;
    }
    // While the dialog is modal only it takes input.
    if (event.form != &dialog) continue;
    Dispatch(event);
  }
  dialog.displayed = false;
  ui_.HideForm(dialog);
}

void TApplication::ProcessMessages() {
  ui_.PumpEvents();
  UiEvent event;
  while (ui_.NextEvent(&event, false)) Dispatch(event);
}

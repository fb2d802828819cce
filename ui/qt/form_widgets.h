#pragma once
// Small helpers the tool windows build their controls with: controls carry
// the names the program gives them (tests and the user's scripts find them
// by it), buttons do not act on Enter, and text areas that echo a file are
// read-only, monospaced and unwrapped.

#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tarnisk {

template <class Widget>
Widget* Named(Widget* w, const char* name) {
  w->setObjectName(name);
  return w;
}

inline QPushButton* FormButton(const char* text, const char* name, QWidget* parent) {
  auto* b = Named(new QPushButton(text, parent), name);
  b->setAutoDefault(false);
  return b;
}

inline QPlainTextEdit* ReadOnlyText(const char* name, QWidget* parent) {
  auto* text = Named(new QPlainTextEdit(parent), name);
  text->setReadOnly(true);
  text->setFont(QFont("Monospace", 9));
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  return text;
}

}  // namespace tarnisk

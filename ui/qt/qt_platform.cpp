#include "ui/qt/qt_platform.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <memory>

#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

std::unique_ptr<QPrinter>& Printer() {
  static std::unique_ptr<QPrinter> printer;
  return printer;
}

}  // namespace

void QtPlatform::Attach(QMainWindow* window) {
  window_ = window;
  QStatusBar* bar = window->statusBar();
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(bar);
    panels_[i]->setMinimumWidth(i == 0 ? 420 : 160);
    bar->addPermanentWidget(panels_[i], i == 0 ? 3 : 1);
  }
}

void QtPlatform::SetStatusPanel(int panel, const std::string& text) {
  if (panel < 0 || panel > 2 || !panels_[panel]) return;
  panels_[panel]->setText(QString::fromStdString(text));
  if (statusListener_) statusListener_(text);
  ProcessEvents();
}

std::string QtPlatform::StatusPanelText(int panel) const {
  if (panel < 0 || panel > 2 || !panels_[panel]) return {};
  return panels_[panel]->text().toStdString();
}

MessageAnswer QtPlatform::ShowMessage(const std::string& title, const std::string& text,
                                      MessageButtons buttons) {
  QMessageBox::StandardButtons choice = QMessageBox::Ok;
  if (buttons == MessageButtons::OkCancel) choice = QMessageBox::Ok | QMessageBox::Cancel;
  if (buttons == MessageButtons::YesNo) choice = QMessageBox::Yes | QMessageBox::No;
  if (buttons == MessageButtons::YesNoCancel)
    choice = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  const auto answer = QMessageBox::question(window_, QString::fromStdString(title),
                                            QString::fromStdString(text), choice);
  switch (answer) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: return MessageAnswer::Ok;
  }
}

void QtPlatform::ProcessEvents() {
  ++pumpDepth_;
  QApplication::processEvents();
  --pumpDepth_;
}

void QtPlatform::SetCaption(const std::string& caption) {
  caption_ = caption;
  ShowCaption();
}

void QtPlatform::ShowModified(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  ShowCaption();
}

// The caption as the program sets it, with " *" after it while there are
// unsaved changes.
void QtPlatform::ShowCaption() {
  if (window_) window_->setWindowTitle(QString::fromStdString(caption_ + (modified_ ? " *" : "")));
}

bool QtPlatform::ConfirmPrint() {
  if (!Printer()) Printer() = std::make_unique<QPrinter>();
  QPrintDialog dialog(Printer().get(), window_);
  return dialog.exec() == QDialog::Accepted;
}

void QtPlatform::PrintImage(const DrawingSurface& image) {
  const auto* surface = dynamic_cast<const ImageSurface*>(&image);
  if (!surface || !Printer()) return;
  QPainter painter(Printer().get());
  const QImage& picture = surface->Image();
  const QRect page = painter.viewport();
  const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
  painter.drawImage(QRect(page.topLeft(), size), picture);
}

}  // namespace tarnisk

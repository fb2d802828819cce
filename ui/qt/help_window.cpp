#include "ui/qt/help_window.h"

#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>

namespace tarnisk {

QString HeadingAnchor(const QString& heading) {
  QString anchor;
  for (const QChar c : heading.toLower()) {
    if (c.isLetterOrNumber() || c == '-' || c == '_') anchor += c;
    else if (c == ' ') anchor += '-';
  }
  return anchor;
}

namespace {

void AnchorHeadings(QTextDocument& document) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() == 0) continue;
    QTextCursor cursor(block);
    cursor.select(QTextCursor::BlockUnderCursor);
    QTextCharFormat anchor;
    anchor.setAnchor(true);
    anchor.setAnchorNames({HeadingAnchor(block.text())});
    cursor.mergeCharFormat(anchor);
  }
}

}  // namespace

QTextBrowser* OpenHelpWindow(const std::string& file) {
  auto* browser = new QTextBrowser();
  browser->setAttribute(Qt::WA_DeleteOnClose);
  browser->setObjectName("HelpWindow");
  browser->setWindowTitle("Tarnisk Help");
  browser->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
  AnchorHeadings(*browser->document());
  browser->resize(760, 700);
  browser->show();
  return browser;
}

}  // namespace tarnisk
